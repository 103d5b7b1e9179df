// The two strategies on the robustness set (problems built to meet, one class at a time, what makes
// the documented method stop, and problems that must fail) and on the collection's hs055 and hs112,
// through the C API: the robust strategy reaches the known optimum, feasibly, where the faithful one
// stops; the must-fail problems end with their ending in both strategies and are never converged.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/problems/problem.h"
#include "host/solve_run.h"
#include "talvir/talvir.h"

namespace {

using talvir::problems::TestProblem;

struct Outcome {
  int ending = TALVIR_ENDING_NONE;
  double f = NAN, violation = NAN;
};

// One solve by reverse communication from the problem's start, "OptTol" 1e-8, dense Jacobian.
Outcome solve(const TestProblem& p, const char* strategy) {
  const int n = p.n(), m = p.m();
  std::vector<int> kinds(m);
  for (int j = 0; j < m; ++j) kinds[j] = p.kind(j);
  std::vector<double> xl(n), xu(n), x0(n), x(n);
  p.bounds(xl.data(), xu.data());
  p.start(x0.data());
  talvir_solver* s = nullptr;
  Outcome out;
  if (talvir_create(n, m, kinds.data(), &s) != TALVIR_OK) return out;
  EXPECT_EQ(talvir_set_text_parameter(s, "Strategy", strategy), TALVIR_OK);
  EXPECT_EQ(talvir_set_real_parameter(s, "OptTol", 1e-8), TALVIR_OK);
  talvir_set_bounds(s, xl.data(), xu.data());
  talvir_set_start(s, x0.data());
  const double* at = nullptr;
  double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
  talvir_evaluation_arrays(s, &at, &f, &g, &c, &jac);
  int request = TALVIR_REQUEST_NONE;
  for (talvir_step(s, &request); request != TALVIR_REQUEST_NONE; talvir_step(s, &request)) {
    if (request & TALVIR_REQUEST_VALUES) {
      *f = p.objective(at);
      if (m > 0) p.constraints(at, c);
    }
    if (request & TALVIR_REQUEST_DERIVATIVES) {
      p.gradient(at, g);
      if (m > 0) p.jacobian(at, jac);
    }
  }
  talvir_get_ending(s, &out.ending);
  talvir_get_x(s, x.data());
  out.f = p.objective(x.data());
  out.violation = talvir::host::violation_at(p, x.data());
  talvir_free(s);
  return out;
}

constexpr int kSolved = TALVIR_ENDING_CONVERGED;

struct Case {
  const char* problem;
  int faithful;  // the documented method's ending
  int robust;    // the robust strategy's
};

TEST(Strategies, RobustSolvesWhereTheDocumentedMethodStopsAndNeverClaimsAFalseSolution) {
  const Case cases[] = {
      {"rb_vanishing", TALVIR_ENDING_INFEASIBLE_LINEARISATION, kSolved},
      {"rb_spheres", TALVIR_ENDING_QP_FAILURE, kSolved},
      {"rb_line_and_hyperbola", TALVIR_ENDING_INFEASIBLE_LINEARISATION, kSolved},
      {"rb_repeated_row", TALVIR_ENDING_QP_FAILURE, kSolved},
      {"rb_rank_deficient", TALVIR_ENDING_QP_FAILURE, kSolved},
      {"hs055", TALVIR_ENDING_QP_FAILURE, kSolved},  // at the local solution 20/3
      {"hs112", TALVIR_ENDING_LINE_SEARCH_LIMIT, kSolved},
      {"rb_hs071_objective_1e7", kSolved, kSolved},
      {"rb_hs071_objective_1e-5", kSolved, kSolved},  // the documented method stops 2.5% above f*
      {"rb_hs071_rows_1e6_1e-3", kSolved, kSolved},
      {"rb_infeasible", TALVIR_ENDING_INFEASIBLE_LINEARISATION, TALVIR_ENDING_LOCALLY_INFEASIBLE},
      {"rb_unbounded_quadratic", TALVIR_ENDING_UNBOUNDED, TALVIR_ENDING_UNBOUNDED},
      {"rb_unbounded_linear", TALVIR_ENDING_QP_FAILURE, TALVIR_ENDING_UNBOUNDED},
      {"rb_undefined", TALVIR_ENDING_EVALUATION_FAILED, TALVIR_ENDING_EVALUATION_FAILED},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.problem);
    const auto p = talvir::problems::make_problem(t.problem);
    ASSERT_NE(p, nullptr);
    const Outcome faithful = solve(*p, "Faithful");
    const Outcome robust = solve(*p, "Robust");
    EXPECT_EQ(faithful.ending, t.faithful);
    EXPECT_EQ(robust.ending, t.robust);
    if (t.robust != kSolved) continue;
    const double known = std::string(t.problem) == "hs055" ? 20.0 / 3.0 : p->known_optimum();
    EXPECT_NEAR(robust.f, known, 1e-6 * std::max(1.0, std::fabs(known)));
    // Feasible in the constraints' own units (the scaled rows: relative to their size).
    EXPECT_LE(robust.violation, std::string(t.problem) == "rb_hs071_rows_1e6_1e-3" ? 1e-4 : 1e-7);
  }
}

TEST(Strategies, TheLeastViolationIsWhereALocallyInfeasibleProblemEnds) {
  const auto p = talvir::problems::make_problem("rb_infeasible");
  const Outcome robust = solve(*p, "Robust");
  ASSERT_EQ(robust.ending, TALVIR_ENDING_LOCALLY_INFEASIBLE);
  // The disc x1^2 + x2^2 <= 1 and the half-plane x1 + x2 >= 3 are closest at (1, 1)/sqrt(2).
  EXPECT_NEAR(robust.f, std::sqrt(2.0), 1e-6);
  EXPECT_NEAR(robust.violation, 3.0 - std::sqrt(2.0), 1e-6);
}

}  // namespace
