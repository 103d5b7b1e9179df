// Reading .nl files and the evaluation glue, against independent oracles: the fixture index (sizes,
// equalities, ranges, f at the start point), gjh_asl_json's evaluations at the start point (values,
// gradient, Jacobian), finite differences of the glue itself, and hand-made models whose rows are
// known.
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

TEST(NlModel, FixtureSizesRowsAndStartValueMatchTheIndex) {
  if (!ampl_test::gjh_available()) GTEST_SKIP() << "gjh_asl_json (Debian gjh-asl-json) is not installed";
  for (const auto& fx : fixtures()) {
    SCOPED_TRACE(fx.file);
    NlModel model;
    ASSERT_TRUE(load(fixture_path(fx.file), model)) << model.message;
    EXPECT_EQ(model.n, fx.n);
    EXPECT_EQ(model.m_source, fx.m);
    // Every constraint is one row, a range two; the equalities are the rows of kind equality.
    EXPECT_EQ(model.m(), fx.m + fx.ranges);
    int equalities = 0;
    for (const EngineRow& row : model.rows) equalities += row.side == RowSide::kEquality;
    EXPECT_EQ(equalities, fx.me);
    double f = 0.0;
    std::vector<double> c(model.m() + 1);
    std::vector<double> x(model.n, 0.0);
    // index.csv's f is at the file's start with missing components 0, before any move into the bounds.
    FlatJson json;
    ASSERT_TRUE(ampl_test::gjh_evaluate(fixture_path(fx.file), json));
    for (int i = 0; i < model.n; ++i)
      x[i] = json_or(json, "supplied starting points/primal/" + std::to_string(i), 0.0);
    ASSERT_TRUE(evaluate_functions(model, x.data(), f, c.data()));
    EXPECT_TRUE(near(model.sense * f, fx.f_at_start, 1e-10)) << f;
    close_nl(model);
  }
}

// The glue's values, gradient and Jacobian in engine form, rebuilt from gjh_asl_json's plain ASL
// values: f and g times sense; row c - L, U - c; entries per engine row with the row's sign.
TEST(NlEvaluate, AgreesWithGjhAtEveryFixtureStartPoint) {
  if (!ampl_test::gjh_available()) GTEST_SKIP() << "gjh_asl_json (Debian gjh-asl-json) is not installed";
  for (const auto& fx : fixtures()) {
    SCOPED_TRACE(fx.file);
    NlModel model;
    ASSERT_TRUE(load(fixture_path(fx.file), model)) << model.message;
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

// The glue's derivatives against central differences of its own values, on a maximised model.
TEST(NlEvaluate, DerivativesMatchFiniteDifferencesOnAMaximisedModel) {
  NlModel model;
  ASSERT_TRUE(load(made_path("rows_max.nl"), model));
  EXPECT_EQ(model.sense, -1.0);
  std::vector<double> x = {0.7, -0.4, 1.0}, g(3), jac(model.nnz()), cp(3), cm(3);
  ASSERT_TRUE(evaluate_derivatives(model, x.data(), g.data(), jac.data()));
  const double h = 1e-6;
  for (int i = 0; i < model.n; ++i) {
    std::vector<double> xp = x, xm = x;
    xp[i] += h;
    xm[i] -= h;
    double fp = 0.0, fm = 0.0;
    ASSERT_TRUE(evaluate_functions(model, xp.data(), fp, cp.data()));
    ASSERT_TRUE(evaluate_functions(model, xm.data(), fm, cm.data()));
    EXPECT_NEAR(g[i], (fp - fm) / (2 * h), 1e-6);
    for (int k = 0; k < model.nnz(); ++k)
      if (model.jac_col[k] == i) {
        EXPECT_NEAR(jac[k], (cp[model.jac_row[k]] - cm[model.jac_row[k]]) / (2 * h), 1e-6);
      }
  }
  close_nl(model);
}

TEST(NlEvaluate, AnEvaluationErrorIsReportedAndNamed) {
  NlModel model;
  ASSERT_TRUE(load(made_path("logstart.nl"), model));
  const double bad = -1.0, good = 0.5;
  double f = 0.0, g = 0.0;
  EXPECT_FALSE(evaluate_functions(model, &bad, f, nullptr));
  EXPECT_EQ(failing_function(model, &bad), "the objective");
  EXPECT_TRUE(evaluate_functions(model, &good, f, nullptr));
  EXPECT_NEAR(f, 50.0 - std::log(0.5), 1e-12);
  EXPECT_TRUE(evaluate_derivatives(model, &good, &g, nullptr));
  EXPECT_NEAR(g, 100.0 - 2.0, 1e-12);
  EXPECT_EQ(failing_function(model, &good), "");
  EXPECT_EQ(model.failed_evaluations, 1);
  close_nl(model);
}

TEST(NlModel, ObjectiveChoiceAndRefusals) {
  struct Case {
    const char* file;
    bool refused;
    Ending ending;
  };
  const Case cases[] = {
      {"intvar.nl", true, Ending::kIntegerModel},
      {"complementarity.nl", true, Ending::kComplementarity},
      {"twoobj.nl", false, Ending::kOptimal},
      {"feasible.nl", false, Ending::kOptimal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    NlModel model;
    ASSERT_TRUE(open_nl(made_path(c.file), model));
    Ending ending = Ending::kOptimal;
    std::string why;
    EXPECT_EQ(refusal(model, ending, why), c.refused);
    if (c.refused) {
      EXPECT_EQ(ending, c.ending);
    }
    EXPECT_EQ(why.empty(), !c.refused);
    close_nl(model);
  }
  NlModel two;
  ASSERT_TRUE(open_nl(made_path("twoobj.nl"), two));
  EXPECT_EQ(select_objective(two, 2), "");
  EXPECT_EQ(two.objective, 1);
  EXPECT_EQ(select_objective(two, 0), "");
  EXPECT_EQ(two.objective, -1);
  EXPECT_EQ(select_objective(two, 3), "objno = 3, but the model has 2 objectives (0 = none)");
  close_nl(two);
}

TEST(NlModel, MissingFile) {
  NlModel missing;
  EXPECT_FALSE(open_nl(made_path("no_such_model"), missing));
  EXPECT_EQ(missing.message, "cannot open " + made_path("no_such_model") + ".nl");
  close_nl(missing);
}

TEST(NlModel, CorruptBody) {
  NlModel corrupt;
  ASSERT_TRUE(open_nl(made_path("corrupt_body.nl"), corrupt));
  ASSERT_EQ(select_objective(corrupt, 1), "");
  EXPECT_FALSE(read_nl(corrupt));
  EXPECT_NE(corrupt.message.find("cannot read " + made_path("corrupt_body") + ".nl"), std::string::npos);
  close_nl(corrupt);
  EXPECT_EQ(stub_of("dir/a.nl"), "dir/a");
  EXPECT_EQ(stub_of("dir/a"), "dir/a");
}

}  // namespace
}  // namespace talvir::ampl
