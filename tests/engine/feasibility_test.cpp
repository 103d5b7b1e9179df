// Convergence never at an infeasible point: constructed cases where the convergence sum alone passes
// far from feasibility, the set-up's inconsistent-linearisation signal, warm starts without a Hessian,
// and a randomised property "converged => feasible" over generated problems.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/problems.h"
#include "support/listing_capture.h"

namespace {

using engine_test::MiraxRun;
using engine_test::Nlp;
using engine_test::Settings;
using talvir_test::capture_listing;

// The documented tolerance of constraint j at x: min(max(ACC, 1e-10), 1e-6) + 1e-12 sum_i |a_ij x_i|.
double tolerance(const Nlp& p, const std::vector<double>& x, const std::vector<double>& a, int lcn, int j,
                 double acc) {
  double terms = 0.0;
  for (int i = 0; i < p.n; ++i) terms += std::fabs(a[j * lcn + i] * x[i]);
  return std::min(std::max(acc, 1.0e-10), 1.0e-6) + 1.0e-12 * terms;
}

// Largest v_j / tau_j at x, from the problem's own functions (not the engine's arrays).
double worst_ratio(const Nlp& p, const std::vector<double>& x, double acc) {
  const int lcn = p.n + 1;
  std::vector<double> c(std::max(p.m, 1)), a(static_cast<std::size_t>(lcn) * std::max(p.m, 1));
  p.c(x.data(), c.data());
  p.a(x.data(), a.data(), lcn);
  double worst = 0.0;
  for (int j = 0; j < p.m; ++j) {
    const double v = p.kind[j] == 0 ? std::fabs(c[j]) : std::max(p.kind[j] < 0 ? c[j] : -c[j], 0.0);
    worst = std::max(worst, v / tolerance(p, x, a, lcn, j, acc));
  }
  return worst;
}

// The property: INF = 1 only within the bounds and with every constraint within its tolerance;
// otherwise one of the documented failure endings.
void expect_converged_means_feasible(const Nlp& p, const MiraxRun& run, double acc) {
  if (run.inf != 1) {
    EXPECT_TRUE(run.inf == 2 || run.inf == 3 || run.inf == 4 || run.inf == 6 || run.inf == 10) << run.inf;
    return;
  }
  for (int i = 0; i < p.n; ++i) {
    EXPECT_GE(run.x[i], p.xl[i]);
    EXPECT_LE(run.x[i], p.xu[i]);
  }
  EXPECT_LE(worst_ratio(p, run.x, acc), 1.0);
}

// min x^2 s.t. s x - 1 >= 0 from x = 0: x* = 1/s.
Nlp steep_constraint(double s) {
  Nlp p;
  p.n = 1;
  p.m = 1;
  p.kind = {1};
  p.xl = {-10.0};
  p.xu = {10.0};
  p.x0 = {0.0};
  p.f = [](const double* x) { return x[0] * x[0]; };
  p.g = [](const double* x, double* g) { g[0] = 2 * x[0]; };
  p.c = [s](const double* x, double* c) { c[0] = s * x[0] - 1; };
  p.a = [s](const double*, double* a, int) { a[0] = s; };
  return p;
}

// min -x1^2 - x2^2 on [-1e20, 1e20]^3 ("no bound") s.t. x3 = 1: unbounded, F reaches -2e40.
Nlp unbounded_with_equality() {
  Nlp p;
  p.n = 3;
  p.m = 1;
  p.kind = {0};
  p.xl = {-1.0e20, -1.0e20, -1.0e20};
  p.xu = {1.0e20, 1.0e20, 1.0e20};
  p.x0 = {1.0, 1.0, 0.0};
  p.f = [](const double* x) { return -x[0] * x[0] - x[1] * x[1]; };
  p.g = [](const double* x, double* g) {
    g[0] = -2 * x[0];
    g[1] = -2 * x[1];
    g[2] = 0.0;
  };
  p.c = [](const double* x, double* c) { c[0] = x[2] - 1; };
  p.a = [](const double*, double* a, int) {
    a[0] = a[1] = 0.0;
    a[2] = 1.0;
  };
  return p;
}

struct Constructed {
  const char* name;
  Nlp problem;
  double acc;
  double hessian_control;
  double scale;        // D(i) of every variable on the start call
  double optimum;      // x1 at the solution; NaN: no solution to reach
  bool must_converge;  // the ending must be 1 (with the optimum), not only "1 => feasible"
};

TEST(Feasibility, ConstructedCasesConvergeOnlyWhenFeasible) {
  const double none = std::nan("");
  const Constructed cases[] = {
      {"steep constraint, 1000x - 1 >= 0", steep_constraint(1000.0), 1.0e-6, 0.0, 1.0, 1.0e-3, true},
      {"steep constraint, control 1", steep_constraint(1000.0), 1.0e-6, 1.0, 1.0, 1.0e-3, true},
      {"steep constraint, OptTol 1e-3", steep_constraint(1000.0), 1.0e-3, 0.0, 1.0, 1.0e-3, true},
      {"steep constraint, OptTol 1e10", steep_constraint(1000.0), 1.0e10, 0.0, 1.0, 1.0e-3, true},
      {"variable scale 100, 10x - 1 >= 0", steep_constraint(10.0), 1.0e-6, 1.0, 100.0, 0.1, true},
      {"warm start asked on a first solve", steep_constraint(1000.0), 1.0e-6, 1.0e30, 1.0, 1.0e-3, true},
      {"unbounded, equality", unbounded_with_equality(), 1.0e-6, 0.0, 1.0, none, false},
      {"unbounded, equality, OptTol 1e10", unbounded_with_equality(), 1.0e10, 0.0, 1.0, none, false},
  };
  for (const Constructed& k : cases) {
    SCOPED_TRACE(k.name);
    Settings s;
    s.acc = k.acc;
    s.hessian_control = k.hessian_control;
    s.maxls = 5;
    vek::engine::MxiterState fresh;
    MiraxRun run(k.problem, s, &fresh);
    std::fill(run.d.begin(), run.d.end() - 1, k.scale);
    run.solve();
    expect_converged_means_feasible(k.problem, run, k.acc);
    if (k.must_converge) {
      EXPECT_EQ(run.inf, 1);
      EXPECT_NEAR(run.x[0], k.optimum, 1.0e-6 * k.optimum);
      EXPECT_GT(run.value_evaluations, 1);  // not at the infeasible start point
    }
  }
}

// x1 >= 0 and x1 <= -1e-8 (both general constraints), min 1e12 + x2^2, from 0: the point violates the second
// by 1e-8 (within the tolerance) and the convergence sum passes, but the linearisation is inconsistent.
TEST(Feasibility, InconsistentLinearisationIsNeverConverged) {
  Nlp p;
  p.n = 2;
  p.m = 2;
  p.kind = {1, 1};
  p.xl = {-1.0, -1.0};
  p.xu = {1.0, 1.0};
  p.x0 = {0.0, 0.0};
  p.f = [](const double* x) { return 1.0e12 + x[1] * x[1]; };  // |F| makes the threshold 1e6
  p.g = [](const double* x, double* g) {
    g[0] = 0.0;
    g[1] = 2 * x[1];
  };
  p.c = [](const double* x, double* c) {
    c[0] = x[0];
    c[1] = -1.0e-8 - x[0];
  };
  p.a = [](const double*, double* a, int lcn) {
    a[0] = 1.0;
    a[1] = 0.0;
    a[lcn] = -1.0;
    a[lcn + 1] = 0.0;
  };
  Settings s;
  s.acc = 1.0e-6;
  vek::engine::MxiterState fresh;
  MiraxRun run(p, s, &fresh);
  run.call();
  EXPECT_EQ(run.inf, 6);
  EXPECT_LE(run.cvg[0], run.cvg[1]);  // the sum alone would have passed
}

// The new listing lines: the sum passes at the infeasible start of the steep case, the iteration goes on.
TEST(Feasibility, ListsTheConstraintsThatStopConvergence) {
  Settings s;
  s.acc = 1.0e-6;
  s.iprint = 0;
  vek::engine::MxiterState fresh;
  MiraxRun run(steep_constraint(1000.0), s, &fresh);
  const std::string text = capture_listing([&] { run.call(); });
  EXPECT_EQ(run.inf, -1);
  const std::string expected =
      "   SUM = 1.000000000E-07\n"
      "  \n"
      " *** MIRAX, CONVERGENCE SUM SATISFIED, CONSTRAINTS NOT SATISFIED :\n"
      "   CONSTR.     1 VIOL. =  1.0000E+00 TOL.  =  1.0000E-06\n"
      "  \n"
      " *** MIRAX, CONTRIBUTIONS TO LINE SEARCH PENALTY FUNCTION :\n";
  EXPECT_NE(text.find(expected), std::string::npos) << text;
}

// A warm start uses B only when this record initialised it in this VF; otherwise it is the cold
// start with control 0, step for step.
TEST(WarmStart, HonouredOnlyForAHessianThisRecordLeftInThisVf) {
  Settings cold;
  cold.acc = 1.0e-10;
  Settings warm = cold;
  warm.hessian_control = 1.0e30;
  const Nlp p = engine_test::hyperbola();
  vek::engine::MxiterState reference_state, state;
  MiraxRun reference(p, cold, &reference_state);
  reference.solve();
  ASSERT_EQ(reference.inf, 1);

  MiraxRun first(p, warm, &state);  // nothing left yet: cold
  first.solve();
  EXPECT_EQ(first.x, reference.x);
  EXPECT_EQ(first.calls, reference.calls);

  // Same record, same VF, after a solution: the B it left is used, so the solve is shorter.
  first.x = p.x0;
  first.d.assign(p.n + 1, 1.0);
  first.d[p.n] = 1.0e30;
  first.evaluate_values();
  first.evaluate_gradients();
  first.inf = 0;
  first.calls = 0;
  first.solve();
  EXPECT_EQ(first.inf, 1);
  EXPECT_LT(first.calls, reference.calls);

  MiraxRun other_vf(p, warm, &state);  // the record's Hessian lies in first.vf: cold
  other_vf.solve();
  EXPECT_EQ(other_vf.x, reference.x);
  EXPECT_EQ(other_vf.calls, reference.calls);

  // A declared VF whose B is not positive definite on its diagonal (a fresh, zeroed workspace): cold.
  MiraxRun zeroed(p, warm, &state);
  vek::engine::mirax_hessian_supplied(state, zeroed.vf.data(), p.n, p.m);
  zeroed.solve();
  EXPECT_EQ(zeroed.x, reference.x);
  EXPECT_EQ(zeroed.calls, reference.calls);
}

// Generated problems: a convex or indefinite quadratic objective, linear constraints of widely
// different steepness and a ball constraint, random kinds, bounds, scales, controls and tolerances.
Nlp generated_problem(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Nlp p;
  p.n = 1 + static_cast<int>(rng() % 4);
  p.m = 1 + static_cast<int>(rng() % 4);
  const int n = p.n, m = p.m;
  std::vector<double> q(n), g(n), a(static_cast<std::size_t>(n) * m), b(m);
  for (int i = 0; i < n; ++i) {
    q[i] = rng() % 5 == 0 ? -0.5 : 0.2 + std::fabs(u(rng));
    g[i] = 3 * u(rng);
  }
  for (int j = 0; j < m; ++j) {
    const double steep = std::pow(10.0, 3 * u(rng));
    for (int i = 0; i < n; ++i) a[j * n + i] = steep * u(rng);
    b[j] = steep * u(rng);
    p.kind.push_back(static_cast<int>(rng() % 3) - 1);
  }
  const bool ball = rng() % 2 == 0;  // constraint 1 becomes |x|^2 <= 4 (kind -1)
  if (ball) p.kind[0] = -1;
  for (int i = 0; i < n; ++i) {
    const bool open = rng() % 3 == 0;
    p.xl.push_back(open ? -1.0e20 : -5.0);
    p.xu.push_back(open ? 1.0e20 : 5.0);
    p.x0.push_back(3 * u(rng));
  }
  p.f = [n, q, g](const double* x) {
    double f = 0.0;
    for (int i = 0; i < n; ++i) f += 0.5 * q[i] * x[i] * x[i] + g[i] * x[i];
    return f;
  };
  p.g = [n, q, g](const double* x, double* out) {
    for (int i = 0; i < n; ++i) out[i] = q[i] * x[i] + g[i];
  };
  p.c = [n, m, a, b, ball](const double* x, double* c) {
    for (int j = 0; j < m; ++j) {
      c[j] = b[j];
      for (int i = 0; i < n; ++i) c[j] += a[j * n + i] * x[i];
    }
    if (ball) {
      c[0] = -4.0;
      for (int i = 0; i < n; ++i) c[0] += x[i] * x[i];
    }
  };
  p.a = [n, m, a, ball](const double* x, double* col, int lcn) {
    for (int j = 0; j < m; ++j) {
      for (int i = 0; i < n; ++i) col[j * lcn + i] = ball && j == 0 ? 2 * x[i] : a[j * n + i];
    }
  };
  return p;
}

TEST(Feasibility, ConvergedMeansFeasibleOnGeneratedProblems) {
  const double tolerances[] = {1.0e-3, 1.0e-6, 1.0e-9, 1.0e-12, 1.0e10};
  const double controls[] = {0.0, 1.0, -1.0, 1.0e30};
  std::mt19937 rng(20261208);
  int converged = 0;
  const int count = 400;
  for (int k = 0; k < count; ++k) {
    const Nlp p = generated_problem(rng);
    Settings s;
    s.acc = tolerances[rng() % 5];
    s.hessian_control = controls[rng() % 4];
    s.mode = static_cast<int>(rng() % 2);
    s.maxit = 60;
    s.maxls = 5;
    SCOPED_TRACE("problem " + std::to_string(k) + ", ACC " + std::to_string(s.acc));
    vek::engine::MxiterState state;
    MiraxRun run(p, s, &state);
    const double scale = std::pow(10.0, static_cast<double>(rng() % 5) - 2.0);
    std::fill(run.d.begin(), run.d.end() - 1, scale);
    run.solve(20000);
    ASSERT_TRUE(run.finished());
    expect_converged_means_feasible(p, run, s.acc);
    converged += run.inf == 1;
  }
  EXPECT_GT(converged, count / 3);  // the property is not carried by failures alone
}

}  // namespace
