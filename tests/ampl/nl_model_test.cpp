// Reading .nl files and the evaluation glue, against independent oracles: the fixture index (sizes,
// equalities, ranges, f at the start point), gjh_asl_json's evaluations at the start point (values,
// gradient, Jacobian), and a hand-made model whose rows are known. Refusals, missing and corrupt files
// and evaluation errors are played through the program in driver_test.cpp.
#include "ampl/nl_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ampl/nl_evaluate.h"
#include "ampl/nl_fixtures.h"

namespace talvir::ampl {
namespace {

using ampl_test::fixture_path;
using ampl_test::fixtures;
using ampl_test::FlatJson;
using ampl_test::made_path;

// Opens and reads `path` with the first objective (none when the model has none).
bool load(const std::string& path, NlModel& model) {
  if (!open_nl(path, model)) return false;
  if (!select_objective(model, model.n_objectives > 0 ? 1 : 0).empty()) return false;
  return read_nl(model);
}

double json_or(const FlatJson& json, const std::string& key, double otherwise) {
  const auto it = json.find(key);
  return it == json.end() ? otherwise : it->second;
}

bool near(double a, double b, double tol = 1e-9) {
  return std::fabs(a - b) <= tol * std::max(1.0, std::fabs(b));
}

// Every fixture: sizes, equalities and ranges as the index says; f at the file's start (missing
// components 0) as the index says; and the glue's values, gradient and Jacobian in engine form, rebuilt
// from gjh_asl_json's plain ASL values: f and g times sense; rows c - L, U - c; entries per engine row
// with the row's sign, column by column. (gjh prints 15 digits: hence 1e-9.)
TEST(NlEvaluate, AgreesWithTheIndexAndGjhAtEveryFixtureStartPoint) {
  if (!ampl_test::gjh_available()) GTEST_SKIP() << "gjh_asl_json (Debian gjh-asl-json) is not installed";
  for (const auto& fx : fixtures()) {
    SCOPED_TRACE(fx.file);
    NlModel model;
    ASSERT_TRUE(load(fixture_path(fx.file), model)) << model.message;
    EXPECT_EQ(model.n, fx.n);
    EXPECT_EQ(model.m_source, fx.m);
    EXPECT_EQ(model.m(), fx.m + fx.ranges);  // a range gives two rows
    int equalities = 0;
    for (const EngineRow& row : model.rows) equalities += row.side == RowSide::kEquality;
    EXPECT_EQ(equalities, fx.me);
    FlatJson json;
    ASSERT_TRUE(ampl_test::gjh_evaluate(fixture_path(fx.file), json)) << "gjh_asl_json failed";
    std::vector<double> x(model.n), g(model.n), c(model.m() + 1), jac(model.nnz() + 1);
    for (int i = 0; i < model.n; ++i)
      x[i] = json_or(json, "supplied starting points/primal/" + std::to_string(i), 0.0);
    double f = 0.0;
    ASSERT_TRUE(evaluate_functions(model, x.data(), f, c.data()));
    ASSERT_TRUE(evaluate_derivatives(model, x.data(), g.data(), jac.data()));
    const std::string eval = "initial evaluations/";
    EXPECT_TRUE(near(f, model.sense * json.at(eval + "objective function/0/value")));
    EXPECT_TRUE(near(model.sense * f, fx.f_at_start, 1e-10)) << f;
    for (int i = 0; i < model.n; ++i)
      EXPECT_TRUE(
          near(g[i],
               model.sense * json_or(json, eval + "objective function/0/gradient/" + std::to_string(i), 0.0)))
          << "gradient " << i;
    for (int j = 0; j < model.m(); ++j) {
      const EngineRow& row = model.rows[j];
      const double value = json.at(eval + "constraints/" + std::to_string(row.source));
      EXPECT_NEAR(c[j], row.side == RowSide::kUpper ? row.offset - value : value - row.offset,
                  1e-9 * std::max(1.0, std::fabs(value)))
          << "row " << j;
    }
    int gjh_entries = 0;
    for (const auto& [key, v] : json) gjh_entries += key.rfind(eval + "constraints' jacobian/", 0) == 0;
    EXPECT_EQ(
        model.nnz(), gjh_entries + [&] {
          int extra = 0;  // ranges give each of their entries twice
          for (int k = 0; k < model.nnz(); ++k)
            extra += k > 0 && model.jac_source[k] == model.jac_source[k - 1];
          return extra;
        }());
    for (int k = 0; k < model.nnz(); ++k) {
      const std::string key = eval + "constraints' jacobian/" +
                              std::to_string(model.rows[model.jac_row[k]].source) + "_" +
                              std::to_string(model.jac_col[k]);
      EXPECT_TRUE(near(jac[k], model.jac_sign[k] * json.at(key))) << key;
      if (k > 0) {
        EXPECT_LE(model.jac_col[k - 1], model.jac_col[k]) << "column by column";
      }
    }
    close_nl(model);
  }
}

// rows.nl: 1 <= x0^2 + x1^2 <= 4 (a range), x0 - x1 free, x0 + x1 >= -10, x2 fixed at 1.
TEST(NlModel, RangesSplitFreeRowsDroppedFixedVariablesKept) {
  NlModel model;
  ASSERT_TRUE(load(made_path("rows.nl"), model)) << model.message;
  ASSERT_EQ(model.m_source, 3);
  ASSERT_EQ(model.m(), 3);
  EXPECT_EQ(model.rows[0].side, RowSide::kLower);
  EXPECT_EQ(model.rows[0].offset, 1.0);
  EXPECT_EQ(model.rows[1].side, RowSide::kUpper);
  EXPECT_EQ(model.rows[1].offset, 4.0);
  EXPECT_EQ(model.rows[2].source, 2);
  EXPECT_EQ(model.first_row[1], -1);
  EXPECT_EQ(model.xl[2], 1.0);
  EXPECT_EQ(model.xu[2], 1.0);
  EXPECT_EQ(model.xl[0], -kInfiniteBound);
  EXPECT_EQ(model.xu[0], kInfiniteBound);
  // Two entries per variable for the range, one for the linear row; the free row adds none.
  EXPECT_EQ(model.nnz(), 6);
  const std::vector<double> x = {0.5, 0.5, 1.0};
  std::vector<double> c(3);
  double f = 0.0;
  ASSERT_TRUE(evaluate_functions(model, x.data(), f, c.data()));
  EXPECT_DOUBLE_EQ(c[0], 0.5 - 1.0);
  EXPECT_DOUBLE_EQ(c[1], 4.0 - 0.5);
  EXPECT_DOUBLE_EQ(c[2], 1.0 + 10.0);
  close_nl(model);
}

}  // namespace
}  // namespace talvir::ampl
