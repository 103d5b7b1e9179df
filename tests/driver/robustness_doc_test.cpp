// The plug-in table of docs/robustness.md, played: every row names a case; the case is run here
// through the plug-in's classes and its code and message must equal the row's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "problem_host.h"
#include "support/markdown_table.h"

namespace {

using talvir::problems::make_problem;
using talvir_test::ProblemHost;
using talvir_test::RecordingSink;
using talvir_test::SolverFixture;

struct Observed {
  std::int64_t code = 0;
  std::string message;  // the last text written by the call that ended, "" when none
};

// A start call, the host's evaluation, `tamper` on the block, then continuing calls to the end.
Observed play(ProblemHost& host, SolverFixture& f, RecordingSink& sink,
              const std::function<void(vek::EvaluationBlock&)>& tamper = nullptr) {
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  std::int32_t rc = f.solver->Solve(0, &block, &counter, &request);
  for (int call = 0; rc == vek::kCallAgain && call < 2000; ++call) {
    host.evaluate(*block, request);
    if (call == 0 && tamper) tamper(*block);
    sink.texts.clear();
    rc = f.solver->Solve(1, &block, &counter, &request);
  }
  return {rc, sink.texts.empty() ? "" : sink.texts.back()};
}

std::int32_t set(SolverFixture& f, const char* name, vek::ParameterValue v) {
  return f.params->SetParameter(name, 0, v);
}

using Case = std::function<Observed(ProblemHost&, SolverFixture&, RecordingSink&)>;

const std::map<std::string, Case>& cases() {
  static const std::map<std::string, Case> all = {
      {"null-address",
       [](ProblemHost&, SolverFixture& f, RecordingSink& s) {
         vek::EvaluationBlock* block = nullptr;
         std::int32_t request = 0;
         return Observed{f.solver->Solve(0, &block, nullptr, &request), s.texts.back()};
       }},
      {"continue-before-start",
       [](ProblemHost&, SolverFixture& f, RecordingSink& s) {
         vek::EvaluationBlock* block = nullptr;
         std::int32_t counter = 0, request = 0;
         return Observed{f.solver->Solve(1, &block, &counter, &request), s.texts.back()};
       }},
      {"no-variables",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) { return h.n = 0, play(h, f, s); }},
      {"sizes-overflow",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) {
         h.n = std::numeric_limits<std::int32_t>::max(), h.equalities = 3;
         return play(h, f, s);
       }},
      {"sizes-changed",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) {
         vek::EvaluationBlock* block = nullptr;
         std::int32_t counter = 0, request = 0;
         f.solver->Solve(0, &block, &counter, &request);
         h.evaluate(*block, request);
         h.n += 1;
         return Observed{f.solver->Solve(1, &block, &counter, &request), s.texts.back()};
       }},
      {"kinds-disagree",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) { return h.math_types[1] = 3, play(h, f, s); }},
      {"null-structure", [](ProblemHost& h, SolverFixture& f,
                            RecordingSink& s) { return h.null_structure = true, play(h, f, s); }},
      {"structure-outside",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) { return h.rows[0] = 9, play(h, f, s); }},
      {"mathtype-outside",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) { return h.math_types[1] = 7, play(h, f, s); }},
      {"zero-scale",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) {
         return h.scales = {1.0, 0.0, 1.0, 1.0}, play(h, f, s);
       }},
      {"crossed-bounds", [](ProblemHost& h, SolverFixture& f,
                            RecordingSink& s) { return h.xl[2] = 4.5, h.xu[2] = 3.0, play(h, f, s); }},
      {"nan-objective",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) {
         return play(h, f, s, [](vek::EvaluationBlock& b) { b.objective = std::nan(""); });
       }},
      {"every-trial-fails",
       [](ProblemHost& h, SolverFixture& f, RecordingSink& s) {
         h.fail_trial_evaluations = true;
         f.set_integer("MaxLineSearches", 3);
         return play(h, f, s);
       }},
      {"unknown-parameter",
       [](ProblemHost&, SolverFixture& f, RecordingSink&) {
         return Observed{set(f, "Tolerance", {1}), ""};
       }},
      {"parameter-out-of-range",
       [](ProblemHost&, SolverFixture& f, RecordingSink&) {
         return Observed{set(f, "MaxIterations", {0}), ""};
       }},
      {"parameter-nan",
       [](ProblemHost&, SolverFixture& f, RecordingSink&) {
         vek::ParameterValue v{};
         v.real = std::nan("");
         return Observed{set(f, "OptTol", v), ""};
       }},
      {"parameter-null-text",
       [](ProblemHost&, SolverFixture& f, RecordingSink&) {
         vek::ParameterValue v{};
         v.text = nullptr;
         return Observed{set(f, "PrintLevel", v), ""};
       }},
      {"unknown-interface",
       [](ProblemHost&, SolverFixture& f, RecordingSink&) {
         void* out = nullptr;
         return Observed{f.solver->QueryInterface(vek::kIidNLPSystemFactory, &out), ""};
       }},
      {"unknown-result-key",
       [](ProblemHost&, SolverFixture& f, RecordingSink&) {
         vek::SolverResults* results = nullptr;
         f.solver->QueryInterface(vek::kIidSolverResults, reinterpret_cast<void**>(&results));
         double value = 0.0;
         const std::int32_t rc = results->GetRealResult("cvrg", &value);
         results->Release();
         return Observed{rc, ""};
       }},
  };
  return all;
}

// A message cell: `text` with \n and \" written as escapes; "—" for none.
std::string unescape(std::string cell) {
  if (cell == "—") return "";
  if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`') cell = cell.substr(1, cell.size() - 2);
  std::string out;
  for (std::size_t k = 0; k < cell.size(); ++k) {
    if (cell[k] == '\\' && k + 1 < cell.size() && cell[k + 1] == 'n') {
      out += '\n';
      ++k;
    } else {
      out += cell[k];
    }
  }
  return out;
}

std::vector<std::vector<std::string>> table_rows(const std::string& heading) {
  return talvir_test::markdown_table_rows(std::string(TALVIR_SOURCE_DIR) + "/docs/robustness.md", heading);
}

TEST(RobustnessTable, EveryPlugInRowHoldsAndEveryCaseHasARow) {
  const auto rows = table_rows("## The plug-in");
  ASSERT_EQ(rows.size(), cases().size());
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 5u) << row[0];
    const std::string id = row[0].substr(1, row[0].size() - 2);
    SCOPED_TRACE(id);
    ASSERT_EQ(cases().count(id), 1u);
    ProblemHost host(make_problem("hs071"));
    RecordingSink sink;
    SolverFixture fixture(host, sink);
    const Observed seen = cases().at(id)(host, fixture, sink);
    EXPECT_EQ(std::to_string(seen.code), row[2]);
    EXPECT_EQ(seen.message, unescape(row[3]));
  }
}

}  // namespace
