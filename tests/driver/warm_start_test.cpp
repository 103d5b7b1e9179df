// "ObjectiveScale" >= 1e30 asks for a warm start: honoured only when an earlier solve of the same
// component left a Hessian; otherwise the solve is the cold start with control 0, step for step.
#include <gtest/gtest.h>

#include <vector>

#include "problem_host.h"

namespace {

using talvir::problems::make_problem;
using talvir_test::ProblemHost;
using talvir_test::RecordingSink;
using talvir_test::run_solve;
using talvir_test::SolverFixture;

struct Solved {
  std::int32_t result = 0;
  int calls = 0;
  std::vector<double> x;
};

Solved solve_again(SolverFixture& fixture, ProblemHost& host, RecordingSink& sink, double objective_scale) {
  host.problem->start(host.x.data());
  host.has_objective_scale = true;
  host.objective_scale = objective_scale;
  const auto run = run_solve(fixture.solver, host, sink);
  return {run.result, run.continuing_calls, host.x};
}

TEST(WarmStart, AskedWithoutAnEarlierSolveIsTheColdStart) {
  // A warm start on the zero workspace would have no curvature at all (B = 0).
  Solved cold;
  {
    ProblemHost reference_host(make_problem("hs100"));
    RecordingSink reference_sink;
    SolverFixture reference(reference_host, reference_sink);
    cold = solve_again(reference, reference_host, reference_sink, 0.0);
  }
  ASSERT_EQ(cold.result, 0);

  // Another component has just left a Hessian behind (and is gone); this one has none of its own.
  ProblemHost host(make_problem("hs100"));
  RecordingSink sink;
  SolverFixture fixture(host, sink);
  const Solved first = solve_again(fixture, host, sink, 1.0e30);
  EXPECT_EQ(first.result, 0);
  EXPECT_EQ(first.x, cold.x);
  EXPECT_EQ(first.calls, cold.calls);
  EXPECT_NEAR(host.problem->objective(first.x.data()), host.problem->known_optimum(), 1.0e-5);

  // Its own Hessian now: the warm start begins with the curvature of the solution.
  const Solved warm = solve_again(fixture, host, sink, 1.0e30);
  EXPECT_EQ(warm.result, 0);
  EXPECT_LT(warm.calls, cold.calls);
  EXPECT_NEAR(host.problem->objective(warm.x.data()), host.problem->known_optimum(), 1.0e-5);
}

}  // namespace
