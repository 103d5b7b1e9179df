// Reading .nl files and the evaluation glue, against independent oracles: the fixture index (sizes,
// equalities, ranges, f at the start point), gjh_asl_json's evaluations at the start point (values,
// gradient, Jacobian), and a hand-made model whose rows are known. Refusals, missing and corrupt files
// and evaluation errors are played through the program in driver_test.cpp.
#include "ampl/nl_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
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

// A fixture's text with `from` replaced by `to` (the first occurrence after the header), written to a
// fresh file; "" when `from` is not there.
std::string damaged(const std::string& file, const std::string& from, const std::string& to) {
  std::string text = ampl_test::read_file(fixture_path(file));
  const std::size_t at = text.find(from, from[0] == ' ' ? 0 : text.find("# common exprs"));
  if (at == std::string::npos) return "";
  text.replace(at, from.size(), to);
  const std::string path = ampl_test::temp_dir() + "/damaged.nl";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
  return path;
}

// A file cut short at any segment boundary, or with a count, index or line changed, is refused with
// what is wrong, never read as another model. hs073: 4 variables, 3 constraints, 12 Jacobian entries in
// columns of 3, 4 gradient entries.
TEST(NlModel, DamagedFilesAreRefusedWithWhatIsWrong) {
  struct Case {
    const char* from;
    const char* to;
    const char* says;
  };
  const Case cases[] = {
      {"\nk3\n", "\n", "the Jacobian's column counts (segment k) are missing"},
      {"\nG0 4\n", "\n", "the gradient entries (segments G) number 0, the header's count 4"},
      {"\nk3\n3\n", "\nk3\n2\n", "column 0 has 3 Jacobian entries (segments J), not its count (segment k)"},
      {"\nk3\n3\n6\n", "\nk3\n7\n6\n", "the column counts (segment k) run out of order at column 2"},
      {"\nJ1 4\n0 ", "\nJ1 4\n4 ", "segment J names 4, out of range"},
      {"\nJ1 4\n", "\nJ3 4\n", "segment J3 with 4 entries does not fit the header"},
      {"\nb\n2 0\n", "\nb\n", "segment b ends 1 lines early"},
      {"\nC2\n", "\nC1\n", "constraint 1 has 2 bodies (segments C)"},
      {"\nx4\n0 1\n", "\nx4\n9 1\n", "segment x names 9, out of range"},
      {" 12 4\t#", " 11 4\t#", "the Jacobian entries (segments J) number 12, the header's count 11"},
      {" 12 4\t#", " 12 3\t#", "the gradient entries (segments G) number 4, the header's count 3"},
      {" 12 4\t#", " 13 4\t#", "exceed its totals"},
      {" 4 3 1 0 1\t#", " 40000 3 1 0 1\t#", "more than a file of"},
      {" 4 0 0\t#", " 5 0 0\t#", "exceed its totals"},
      {" 0 0 0 0 0\t# discrete", " 0 x\t# discrete", "line 7 of the header is not what a .nl header holds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    const std::string path = damaged("hs073.ampl.nl", c.from, c.to);
    ASSERT_FALSE(path.empty());
    NlModel model;
    EXPECT_FALSE(load(path, model));
    EXPECT_NE(model.message.find(c.says), std::string::npos) << model.message;
    close_nl(model);
  }
  // Every fixture cut before any of its segments (after the header).
  int cuts = 0;
  for (const auto& fixture : fixtures()) {
    const std::string text = ampl_test::read_file(fixture_path(fixture.file));
    for (std::size_t at = text.find("# common exprs"); (at = text.find('\n', at)) + 1 < text.size(); ++at) {
      if (std::string("FSVCLOdxrbkJG").find(text[at + 1]) == std::string::npos) continue;
      const std::string path = damaged(fixture.file, text.substr(at + 1), "");
      NlModel model;
      EXPECT_FALSE(load(path, model)) << fixture.file << " cut at " << at + 1;
      EXPECT_EQ(model.message.find("cannot read "), 0u) << model.message;
      close_nl(model);
      ++cuts;
    }
  }
  EXPECT_GT(cuts, 2000);
}

}  // namespace
}  // namespace talvir::ampl
