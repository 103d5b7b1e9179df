// Calls the solver refuses instead of writing outside its arrays, and the starting point moved onto
// its bounds. A refusal answers -15 with a message and changes no array.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "problem_host.h"

namespace {

using talvir::problems::make_problem;
using talvir_test::ProblemHost;
using talvir_test::RecordingSink;
using talvir_test::run_solve;
using talvir_test::SolverFixture;
using talvir_test::state_of;
using talvir_test::values_of;

bool mentions(const std::vector<std::string>& texts, const std::string& word) {
  return texts.size() == 1 && texts[0].rfind("VEKTALVIR Error:", 0) == 0 &&
         texts[0].find(word) != std::string::npos && texts[0].back() == '\n';
}

TEST(Refusals, AContinuingCallBeforeAnyStartTouchesNothing) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  host.calls.clear();
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 5, request = -1;
  EXPECT_EQ(fixture.solver->Solve(1, &block, &counter, &request), vek::kNotAvailable);
  EXPECT_TRUE(mentions(sink.texts, "before any start call")) << sink.texts.size();
  const auto& st = state_of(fixture.solver);
  EXPECT_FALSE(st.arrays_made);
  EXPECT_TRUE(st.X.empty() && st.VF.empty() && st.A.empty());
  EXPECT_EQ(counter, 5);
  for (const char* call :
       {"GetVariableValues", "SetVariableValues", "OnSolveCall", "GetConstraintAttribute"}) {
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), call), 0) << call;
  }
  if (st.listing.name != nullptr) {
    EXPECT_FALSE(std::filesystem::exists(st.listing.name));
  }
  // A proper start afterwards solves as usual.
  EXPECT_EQ(run_solve(fixture.solver, host, sink).result, 0);
}

TEST(Refusals, SizesThatDifferFromThoseOfTheArraysStopTheCall) {
  enum Change { kVariables, kConstraints, kEntries };
  for (const Change change : {kVariables, kConstraints, kEntries}) {
    SCOPED_TRACE(change);
    ProblemHost host(make_problem("hs071"));
    RecordingSink sink;
    SolverFixture fixture(host, sink);
    const auto& st = state_of(fixture.solver);
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 0, request = 0;
    ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
    host.evaluate(*block, request);
    ASSERT_EQ(fixture.solver->Solve(1, &block, &counter, &request), 1);
    host.evaluate(*block, request);
    const std::vector<double> X = values_of(st.X), VF = values_of(st.VF), A = values_of(st.A),
                              C = values_of(st.C);
    const std::int32_t INF = st.INF, counted = counter;
    if (change == kVariables) host.n += 1;
    if (change == kConstraints) host.inequalities += 1;
    if (change == kEntries) host.rows.push_back(1), host.cols.push_back(1);
    sink.texts.clear();
    EXPECT_EQ(fixture.solver->Solve(1, &block, &counter, &request), vek::kNotAvailable);
    EXPECT_TRUE(mentions(sink.texts, "sizes changed"));
    EXPECT_EQ(values_of(st.X), X);
    EXPECT_EQ(values_of(st.VF), VF);
    EXPECT_EQ(values_of(st.A), A);
    EXPECT_EQ(values_of(st.C), C);
    EXPECT_EQ(st.INF, INF);
    EXPECT_EQ(counter, counted);
    // A start call with changed sizes is refused as well: the arrays stay those of the first start.
    sink.texts.clear();
    EXPECT_EQ(fixture.solver->Solve(0, &block, &counter, &request), vek::kNotAvailable);
    EXPECT_EQ(st.X.size(), 4u);
  }
}

TEST(Refusals, SizesThatCannotMakeArrays) {
  for (const auto& [n, eq, in] : std::vector<std::tuple<int, int, int>>{
           {0, 1, 1},
           {-3, 1, 1},
           {4, -1, 1},
           {4, 1, -2},
           {100000, 0, 0},
           // Sizes whose workspace products would pass 64 bits: refused before any multiplication.
           {INT32_MAX, 3, 0},
           {INT32_MAX, 0, INT32_MAX},
           {4, INT32_MAX, 0},
           {4, 0, INT32_MAX},
           {INT32_MAX, INT32_MAX, INT32_MAX},
           {(1 << 20) + 1, 0, 0}}) {
    ProblemHost host(make_problem("hs071"));
    host.n = n, host.equalities = eq, host.inequalities = in;
    RecordingSink sink;
    SolverFixture fixture(host, sink);
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 0, request = 0;
    EXPECT_EQ(fixture.solver->Solve(0, &block, &counter, &request), vek::kNotAvailable)
        << n << " " << eq << " " << in;
    EXPECT_TRUE(mentions(sink.texts, "not usable"));
    EXPECT_FALSE(state_of(fixture.solver).arrays_made);
  }
}

#if defined(_WIN32)
// A 32-bit process has at most 4 GB of address space, far below what the refused arrays need: the
// allocation fails without a lowered limit.
class AddressSpaceLimit {
 public:
  explicit AddressSpaceLimit(unsigned long long /*extra*/) {}
};
using rlim_t = unsigned long long;
#else
// Lowers the soft limit of the address space to the present size plus `extra` bytes for one scope, so
// that a large allocation fails at once instead of being granted and zero-filled by the system.
class AddressSpaceLimit {
 public:
  explicit AddressSpaceLimit(rlim_t extra) {
    getrlimit(RLIMIT_AS, &saved_);
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    rlimit lowered = saved_;
    lowered.rlim_cur = std::min<rlim_t>(saved_.rlim_max, pages * sysconf(_SC_PAGESIZE) + extra);
    setrlimit(RLIMIT_AS, &lowered);
  }
  ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &saved_); }
  AddressSpaceLimit(const AddressSpaceLimit&) = delete;
  AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

 private:
  rlimit saved_{};
};
#endif

TEST(Refusals, ArraysThatDoNotFitInMemoryAreRefusedNotThrownIntoTheHost) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than any useful limit leaves";
#endif
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  // 30000 variables, no constraints: the workspaces need about 14 GB, and (3K + 7)K of the QP
  // workspace length passes 32 bits although the length itself fits.
  const std::vector<std::int32_t> rows = host.rows, cols = host.cols;
  host.n = 30000, host.equalities = 0, host.inequalities = 0;
  host.rows.clear(), host.cols.clear();
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 7, request = 0;
  {
    const AddressSpaceLimit limit(rlim_t{1} << 30);
    EXPECT_EQ(fixture.solver->Solve(0, &block, &counter, &request), vek::kNotAvailable);
  }
  EXPECT_TRUE(mentions(sink.texts, "not enough memory")) << (sink.texts.empty() ? "" : sink.texts[0]);
  EXPECT_FALSE(st.arrays_made);
  EXPECT_TRUE(st.evaluation.jacobian.empty() && st.VF.empty() && st.WQP.empty() && st.A.empty());
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(counter, 7);
  // N(N + 9)/2 + 1 and (3K + 7)K/2 + 4(N + 1) with K = N + 1, worked out by hand.
  EXPECT_EQ(st.LWVF, 450135001);
  EXPECT_EQ(st.LWQP, 1350315009);

  // The component stays usable: a start with sizes that fit solves as usual.
  host.n = 4, host.equalities = 1, host.inequalities = 1;
  host.rows = rows, host.cols = cols;
  sink.texts.clear();
  EXPECT_EQ(run_solve(fixture.solver, host, sink).result, 0);
  EXPECT_NEAR(host.problem->objective(host.x.data()), host.problem->known_optimum(), 1e-5);
}

TEST(Refusals, JacobianEntriesOutsideTheProblemAreNeverWritten) {
  for (const auto& [row, col] : std::vector<std::pair<int, int>>{{3, 1}, {0, 1}, {1, 5}, {1, 0}, {-7, 2}}) {
    SCOPED_TRACE(std::to_string(row) + "," + std::to_string(col));
    ProblemHost host(make_problem("hs071"));
    host.rows[5] = row;
    host.cols[5] = col;
    RecordingSink sink;
    SolverFixture fixture(host, sink);
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 0, request = 0;
    EXPECT_EQ(fixture.solver->Solve(0, &block, &counter, &request), vek::kNotAvailable);
    EXPECT_TRUE(mentions(sink.texts, "entry 6 names constraint " + std::to_string(row)));
  }
  // A structure that goes bad after the start call is caught before the transfer.
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const auto& st = state_of(fixture.solver);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  host.evaluate(*block, request);
  host.cols[0] = 1000;
  const std::vector<double> A = values_of(st.A);
  sink.texts.clear();
  EXPECT_EQ(fixture.solver->Solve(1, &block, &counter, &request), vek::kNotAvailable);
  EXPECT_TRUE(mentions(sink.texts, "variable 1000"));
  EXPECT_EQ(values_of(st.A), A);
  EXPECT_EQ(counter, 0) << "the engine did not run";
}

TEST(Refusals, NullAddressesAreRefused) {
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  host.calls.clear();
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  EXPECT_EQ(fixture.solver->Solve(0, nullptr, &counter, &request), vek::kNotAvailable);
  EXPECT_EQ(fixture.solver->Solve(0, &block, nullptr, &request), vek::kNotAvailable);
  EXPECT_EQ(fixture.solver->Solve(0, &block, &counter, nullptr), vek::kNotAvailable);
  EXPECT_EQ(sink.texts.size(), 3u);
  EXPECT_TRUE(host.calls.empty());
}

TEST(StartPoint, OutsideItsBoundsItIsMovedOntoThemAndPassedBeforeTheFirstEvaluation) {
  ProblemHost host(make_problem("hs071"));  // bounds 1 <= x <= 5
  host.x = {0.5, 6.0, 5.0, 1.0};
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  host.calls.clear();
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  EXPECT_EQ(host.x, (std::vector<double>{1.0, 5.0, 5.0, 1.0}));
  EXPECT_EQ(values_of(state_of(fixture.solver).X), host.x);
  const auto at = std::find(host.calls.begin(), host.calls.end(), "SetVariableValues");
  ASSERT_NE(at, host.calls.end());
  EXPECT_LT(at - host.calls.begin(),
            std::find(host.calls.begin(), host.calls.end(), "OnSolveCall") - host.calls.begin());
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "SetVariableValues"), 1);
  // Inside its bounds the point is left alone and not passed back.
  host.calls.clear();
  host.x = {1.0, 4.999, 3.0, 1.0};
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "SetVariableValues"), 0);
  EXPECT_EQ(values_of(state_of(fixture.solver).X), host.x);

  host.x = {0.5, 6.0, 5.0, 1.0};
  const auto run = run_solve(fixture.solver, host, sink);
  EXPECT_EQ(run.result, 0);
  EXPECT_NEAR(host.problem->objective(host.x.data()), host.problem->known_optimum(), 1e-5);
}

}  // namespace
