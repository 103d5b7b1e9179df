// Boundary faults a careless host could provoke: two components solving alternately, a null Jacobian
// structure at a start call, and an equality count that disagrees with the constraints' "MathType".
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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

// One component's side of an exchange, advanced one Solve call at a time.
struct Exchange {
  vek::NLPSolver* solver = nullptr;
  ProblemHost* host = nullptr;
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0, result = 1;
  int calls = 0;

  void step() {
    const std::int32_t mode = calls == 0 ? 0 : 1;
    if (calls > 0) host->evaluate(*block, request);
    result = solver->Solve(mode, &block, &counter, &request);
    ++calls;
  }
  bool running() const { return result == vek::kCallAgain && calls < 2000; }
};

TEST(TwoComponents, SolvingAlternatelyEachEndsAsIfAlone) {
  // Oracle: each problem solved alone, start to end, by a component of its own.
  std::vector<std::vector<double>> alone_x;
  std::vector<std::int32_t> alone_counter;
  for (const char* name : {"hs071", "hs035"}) {
    ProblemHost host(make_problem(name));
    RecordingSink sink;
    SolverFixture fixture(host, sink);
    const auto run = run_solve(fixture.solver, host, sink);
    ASSERT_EQ(run.result, 0) << name;
    alone_x.push_back(host.x);
    alone_counter.push_back(run.counter);
  }
  ProblemHost first(make_problem("hs071")), second(make_problem("hs035"));
  RecordingSink sink_first, sink_second;
  SolverFixture fixture(first, sink_first);
  vek::NLPSolver* other = nullptr;
  ASSERT_EQ(fixture.factory->CreateSolver(&second, &sink_second, &other), 0);
  Exchange a{fixture.solver, &first}, b{other, &second};
  while (a.running() || b.running()) {
    if (a.running()) a.step();
    if (b.running()) b.step();
  }
  EXPECT_EQ(a.result, 0);
  EXPECT_EQ(b.result, 0);
  EXPECT_EQ(first.x, alone_x[0]);
  EXPECT_EQ(second.x, alone_x[1]);
  EXPECT_EQ(a.counter, alone_counter[0]);
  EXPECT_EQ(b.counter, alone_counter[1]);
  EXPECT_NEAR(first.problem->objective(first.x.data()), first.problem->known_optimum(), 1e-5);
  EXPECT_NEAR(second.problem->objective(second.x.data()), second.problem->known_optimum(), 1e-5);
  EXPECT_EQ(other->Release(), 0);
}

TEST(StartRefusals, TheHostCanStartAgainAfterFixingTheCause) {
  struct Case {
    const char* what;
    void (*spoil)(ProblemHost&);
    void (*mend)(ProblemHost&);
    const char* message;
  };
  const Case cases[] = {
      {"null Jacobian structure", [](ProblemHost& h) { h.null_structure = true; },
       [](ProblemHost& h) { h.null_structure = false; },
       "VEKTALVIR Error:the problem gave no Jacobian structure arrays for its nonzero entries\n"},
      {"structure entry outside the problem", [](ProblemHost& h) { h.rows[0] = 9; },
       [](ProblemHost& h) { h.rows[0] = 1; },
       "VEKTALVIR Error:Jacobian structure entry 1 names constraint 9 and variable 1, outside 1..2 and "
       "1..4\n"},
      {"one equality declared, none has MathType 0", [](ProblemHost& h) { h.math_types[1] = 3; },
       [](ProblemHost& h) { h.math_types[1] = 0; },
       "VEKTALVIR Error:GetNumEqualities gives 1 equalities but 0 of the 2 constraints have \"MathType\" "
       "0\n"},
      {"two equalities declared, one has MathType 0",
       [](ProblemHost& h) { h.equalities = 2, h.inequalities = 0; },
       [](ProblemHost& h) { h.equalities = 1, h.inequalities = 1; },
       "VEKTALVIR Error:GetNumEqualities gives 2 equalities but 1 of the 2 constraints have \"MathType\" "
       "0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProblemHost host(make_problem("hs071"));
    RecordingSink sink;
    SolverFixture fixture(host, sink);
    c.spoil(host);
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 0, request = 0;
    EXPECT_EQ(fixture.solver->Solve(0, &block, &counter, &request), vek::kNotAvailable);
    ASSERT_EQ(sink.texts.size(), 1u);
    EXPECT_EQ(sink.texts[0], c.message);
    EXPECT_EQ(request, 0);
    // Refused again while the cause stays; once it is mended, a start call solves as usual.
    EXPECT_EQ(fixture.solver->Solve(0, &block, &counter, &request), vek::kNotAvailable);
    c.mend(host);
    const auto run = run_solve(fixture.solver, host, sink);
    EXPECT_EQ(run.result, 0);
    EXPECT_NEAR(host.problem->objective(host.x.data()), host.problem->known_optimum(), 1e-5);
    EXPECT_EQ(state_of(fixture.solver).ME, 1);
  }
}

TEST(StartRefusals, ConstraintCountsBeyond32BitsAreReportedNotWrapped) {
  // After the arrays exist, counts whose sum passes 32 bits are a size change like any other.
  ProblemHost host(make_problem("hs071"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  vek::EvaluationBlock* block = nullptr;
  std::int32_t counter = 0, request = 0;
  ASSERT_EQ(fixture.solver->Solve(0, &block, &counter, &request), 1);
  host.equalities = INT32_MAX;
  sink.texts.clear();
  EXPECT_EQ(fixture.solver->Solve(0, &block, &counter, &request), vek::kNotAvailable);
  ASSERT_EQ(sink.texts.size(), 1u);
  EXPECT_EQ(
      sink.texts[0],
      "VEKTALVIR Error:problem sizes changed since the first start call (N = 4, M = 2147483648, nnz = 8; "
      "the solver was set up for N = 4, M = 2, nnz = 8)\n");
}

}  // namespace
