// How a solve ends: the outcome table, endings provoked through the engine with their messages and
// results, the listing read back in chunks, and the temporary listing file's life.
#include "core/outcome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "driver/listing.h"
#include "driver/solve.h"
#include "io/units.h"
#include "problem_host.h"
#include "support/listing_capture.h"

namespace {

using talvir::problems::make_problem;
using talvir::problems::TestProblem;
using talvir_test::ProblemHost;
using talvir_test::RecordingSink;
using talvir_test::run_solve;
using talvir_test::SolverFixture;
using talvir_test::state_of;

// min sum x_i^2 subject to linear constraints a_j'x + b_j (kind k_j), x free.
class LinearProblem : public TestProblem {
 public:
  LinearProblem(int n, std::vector<std::vector<double>> a, std::vector<double> b, std::vector<int> kinds)
      : n_(n), a_(std::move(a)), b_(std::move(b)), kinds_(std::move(kinds)) {}
  std::string name() const override { return "linear"; }
  std::string description() const override { return "least norm under linear constraints"; }
  int n() const override { return n_; }
  int m() const override { return static_cast<int>(b_.size()); }
  int kind(int j) const override { return kinds_[j]; }
  void bounds(double* xl, double* xu) const override {
    for (int i = 0; i < n_; ++i) xl[i] = -talvir::problems::kInfinity, xu[i] = talvir::problems::kInfinity;
  }
  void start(double* x) const override {
    for (int i = 0; i < n_; ++i) x[i] = 0.3;
  }
  double objective(const double* x) const override {
    double f = 0.0;
    for (int i = 0; i < n_; ++i) f += x[i] * x[i];
    return f;
  }
  void gradient(const double* x, double* g) const override {
    for (int i = 0; i < n_; ++i) g[i] = 2.0 * x[i];
  }
  void constraints(const double* x, double* c) const override {
    for (int j = 0; j < m(); ++j) {
      c[j] = b_[j];
      for (int i = 0; i < n_; ++i) c[j] += a_[j][i] * x[i];
    }
  }
  void jacobian(const double*, double* jac) const override {
    for (int j = 0; j < m(); ++j) {
      for (int i = 0; i < n_; ++i) jac[j * n_ + i] = a_[j][i];
    }
  }
  double known_optimum() const override { return std::numeric_limits<double>::quiet_NaN(); }

 private:
  int n_;
  std::vector<std::vector<double>> a_;
  std::vector<double> b_;
  std::vector<int> kinds_;
};

TEST(OutcomeTable, EveryCycleFlagHasItsResultAndExactMessage) {
  const std::string line_search =
      "Line search required 5 calls - Solution Not Found.\nTry increasing the maximum number of line "
      "searches\n";
  const std::vector<std::pair<int, std::string>> table = {
      {2, "Maximum number of iterations reached - Solution Not Found.\n"},
      {3, line_search},
      {4, "Search direction uphill - Solution Not Found.\n"},
      {5, line_search},
      {6, "Problem unbounded - Solution Not Found.\n"},
      {7, "Workspace allocation error - Optimiser Failed.\n"},
      {8, "Illegal Values - Optimiser Failed.\n"},
      {9, "Constraint types not applicable - Optimiser Failed.\n"},
      {10, "QP Failure - Optimiser Failed.\n"},
      {11, "A completely unknown Cycle Flag has come back in the Optimizer....\n"},
      {12, "A completely unknown Cycle Flag has come back in the Optimizer....\n"},
      {1000, "A completely unknown Cycle Flag has come back in the Optimizer....\n"},
  };
  for (const auto& [flag, message] : table) {
    EXPECT_EQ(vek::core::outcome_message(flag, 5), message) << flag;
    EXPECT_EQ(vek::driver::outcome_result(flag), -8) << flag;
  }
  EXPECT_EQ(
      vek::core::outcome_message(3, 100000),
      "Line search required 100000 calls - Solution Not Found.\nTry increasing the maximum number of line "
      "searches\n");
  for (const int flag : {1, 0, -3, -100}) {
    EXPECT_EQ(vek::core::outcome_message(flag, 5), "") << flag;
    EXPECT_EQ(vek::driver::outcome_result(flag), 0) << flag;
  }
  EXPECT_EQ(vek::driver::outcome_result(-1), 1);
  EXPECT_EQ(vek::driver::outcome_result(-2), 1);
}

// The last text the sink received in the final call, and whether the listing file is gone.
struct Ending {
  std::int32_t result;
  std::string message;
  bool file_gone;
  std::int32_t request;
};

Ending solve_to_end(ProblemHost& host, const std::function<void(SolverFixture&)>& configure) {
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  configure(fixture);
  const auto run = run_solve(fixture.solver, host, sink);
  const auto& st = state_of(fixture.solver);
  Ending ending{run.result, run.messages.back().empty() ? "" : run.messages.back().back(),
                st.listing.name != nullptr && !std::filesystem::exists(st.listing.name), run.requests.back()};
  return ending;
}

TEST(Endings, EngineFailuresReachTheHostAsMinusEightWithTheirMessage) {
  {
    SCOPED_TRACE("iteration limit");
    ProblemHost host(make_problem("hs071"));
    const Ending e = solve_to_end(host, [](SolverFixture& f) { f.set_integer("MaxIterations", 1); });
    EXPECT_EQ(e.result, -8);
    EXPECT_EQ(e.message, "Maximum number of iterations reached - Solution Not Found.\n");
    EXPECT_TRUE(e.file_gone);
    EXPECT_EQ(e.request, 0);
  }
  {
    SCOPED_TRACE("every trial point fails to evaluate: the line search limit, with its value");
    ProblemHost host(make_problem("hs071"));
    host.fail_trial_evaluations = true;
    const Ending e = solve_to_end(host, [](SolverFixture& f) { f.set_integer("MaxLineSearches", 3); });
    EXPECT_EQ(e.result, -8);
    EXPECT_EQ(e.message,
              "Line search required 3 calls - Solution Not Found.\nTry increasing the maximum number of line "
              "searches\n");
    EXPECT_TRUE(e.file_gone);
  }
  {
    SCOPED_TRACE("a MathType outside 0..4");
    ProblemHost host(make_problem("hs071"));
    host.math_types[1] = 7;
    const Ending e = solve_to_end(host, [](SolverFixture&) {});
    EXPECT_EQ(e.result, -8);
    EXPECT_EQ(e.message, "Constraint types not applicable - Optimiser Failed.\n");
    EXPECT_TRUE(e.file_gone);
  }
  {
    SCOPED_TRACE("inconsistent linear constraints: x >= 2 and x <= 1");
    ProblemHost host(std::make_unique<LinearProblem>(1, std::vector<std::vector<double>>{{1.0}, {1.0}},
                                                     std::vector<double>{-2.0, -1.0},
                                                     std::vector<int>{1, -1}));
    const Ending e = solve_to_end(host, [](SolverFixture&) {});
    EXPECT_EQ(e.result, -8);
    EXPECT_EQ(e.message, "Problem unbounded - Solution Not Found.\n");
  }
  {
    SCOPED_TRACE("linearly dependent equalities");
    ProblemHost host(
        std::make_unique<LinearProblem>(2, std::vector<std::vector<double>>{{1.0, 1.0}, {2.0, 2.0}},
                                        std::vector<double>{-1.0, -2.0}, std::vector<int>{0, 0}));
    const Ending e = solve_to_end(host, [](SolverFixture&) {});
    EXPECT_EQ(e.result, -8);
    EXPECT_EQ(e.message, "QP Failure - Optimiser Failed.\n");
  }
}

TEST(Endings, EverySolveStartsFromTheConstraintKindsOfTheFirstStart) {
  // Linearly dependent equalities make the QP solver fail, which may leave KTYPE worked on.
  ProblemHost host(std::make_unique<LinearProblem>(2,
                                                   std::vector<std::vector<double>>{{1.0, 1.0}, {2.0, 2.0}},
                                                   std::vector<double>{-1.0, -2.0}, std::vector<int>{0, 0}));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  for (int solve = 0; solve < 3; ++solve) {
    host.problem->start(host.x.data());
    const auto run = run_solve(fixture.solver, host, sink);
    EXPECT_EQ(run.result, -8);
    EXPECT_EQ(run.messages.back().back(), "QP Failure - Optimiser Failed.\n");
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 0, request = 0;
    ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
    EXPECT_EQ(talvir_test::values_of(st.KTYPE), (std::vector<std::int32_t>{0, 0, 0}));
  }
}

TEST(Endings, TheConvergenceRatioIsNeverNaN) {
  // With "OptTol" 0 the threshold is 0 and the ratio's formula is 0/0 or inf*0.
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  fixture.set_real("OptTol", 0.0);
  fixture.set_integer("MaxIterations", 30);
  const auto run = run_solve(fixture.solver, host, sink);
  EXPECT_NE(run.result, 1);
  vek::SolverResults* results = nullptr;
  ASSERT_EQ(fixture.solver->QueryInterface(vek::kIidSolverResults, reinterpret_cast<void**>(&results)), 0);
  double ratio = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(results->GetRealResult("CVRG", &ratio), 0);
  EXPECT_FALSE(std::isnan(ratio));
  results->Release();
}

TEST(Listing, ASilentEngineGivesOneEmptyTextPerCallAndTheFileIsGoneAtTheEnd) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  ASSERT_NE(st.listing.name, nullptr);
  const std::string file = st.listing.name;
  EXPECT_EQ(std::filesystem::path(file).filename().string().rfind("TALVIR_txt.", 0), 0u);
  EXPECT_TRUE(vek::io::is_connected(7)) << "a start call leaves unit 7 connected";
  std::int32_t result = 1;
  while (result == 1) {
    host.evaluate(*block, request);
    sink.texts.clear();
    result = fixture.solver->Solve(1, &block, &counter, &request);
    if (result == 1) {
      EXPECT_EQ(sink.texts, std::vector<std::string>{""});
      EXPECT_TRUE(std::filesystem::exists(file)) << "the file stays while the solve goes on";
    }
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(sink.texts, std::vector<std::string>{""}) << "convergence writes no message";
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(vek::io::is_connected(7));
  EXPECT_STREQ(st.listing.name, file.c_str()) << "the name is kept for the next solve";
}

TEST(Listing, ALinkPlantedAtTheListingNameIsNeitherWrittenNorRead) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  fixture.set_text("PrintLevel", "Normal");
  const auto& st = state_of(fixture.solver);
  ASSERT_EQ(run_solve(fixture.solver, host, sink).result, 0);  // the name is kept, the file is gone
  ASSERT_NE(st.listing.name, nullptr);
  const std::string file = st.listing.name;
  const std::string secret = file + ".other";
  { std::ofstream(secret) << "another file's text\n"; }
  if (!talvir_test::make_symbolic_link(secret, file)) {
#if defined(_WIN32)
    GTEST_SKIP() << "symbolic links cannot be made here (no right to, or wine)";
#endif
    FAIL() << "cannot make a symbolic link";
  }

  sink.texts.clear();
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  host.evaluate(*block, request);
  fixture.solver->Solve(1, &block, &counter, &request);
  EXPECT_EQ(talvir_test::read_file(secret), "another file's text\n") << "nothing is written through the link";
  ASSERT_FALSE(sink.texts.empty());
  EXPECT_EQ(sink.texts.front(), vek::driver::kListingUnreadable);
  for (const std::string& text : sink.texts) EXPECT_EQ(text.find("another file"), std::string::npos);
  std::remove(file.c_str());
  std::remove(secret.c_str());
}

TEST(Listing, TheEnginesTextArrivesInChunksOfAtMost512Bytes) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  fixture.set_text("PrintLevel", "Normal");
  const auto run = run_solve(fixture.solver, host, sink);
  ASSERT_EQ(run.result, 0);
  std::string all;
  for (const auto& call : run.messages) {
    for (std::size_t k = 0; k < call.size(); ++k) {
      EXPECT_LE(call[k].size(), 512u);
      if (k + 1 < call.size()) {
        EXPECT_EQ(call[k].size(), 512u) << "only the last chunk of a call is short";
      }
      all += call[k];
    }
  }
  EXPECT_GT(all.size(), 512u);
  EXPECT_TRUE(run.messages.front().empty()) << "the start call writes nothing";
}

// forward_listing on files of chosen lengths: the read that meets the end still writes its chunk.
TEST(Listing, ReadBackSplitsAtExactly512AndEndsWithTheChunkThatMeetsTheEnd) {
  vek::driver::ListingFile file;
  for (const std::size_t length : {0u, 1u, 511u, 512u, 513u, 1024u, 1500u}) {
    SCOPED_TRACE(length);
    vek::driver::connect_listing(file);
    ASSERT_NE(file.name, nullptr);
    std::string text;
    for (std::size_t k = 0; k < length; ++k) text += static_cast<char>(k % 60 == 59 ? '\n' : 'a' + k % 26);
    vek::io::put(7, text);
    RecordingSink sink;
    vek::driver::forward_listing(file, &sink);
    std::string joined;
    for (const auto& chunk : sink.texts) joined += chunk;
    EXPECT_EQ(joined, text);
    EXPECT_EQ(sink.texts.size(), length / 512 + 1);
    if (length % 512 == 0) {
      EXPECT_EQ(sink.texts.back(), "");
    }
  }
  vek::driver::remove_listing(file);
  EXPECT_FALSE(std::filesystem::exists(file.name));
  RecordingSink sink;
  vek::driver::forward_listing(file, &sink);
  EXPECT_EQ(sink.texts,
            std::vector<std::string>{"VEKTALVIR Error:unable to read intermediate output file\n"});
  std::free(file.name);
}

}  // namespace
