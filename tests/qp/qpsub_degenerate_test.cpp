// QPSUB on variables fixed by their bounds (DL = DU = 0) and degenerate equalities (rows that are
// dependent once the fixed variables are left out, multiples of each other, inequalities implied by
// equalities, zero constants): a success is the optimum of an independent brute force over faces
// (dependent equalities dropped first), and code 2 comes only for really dependent equalities. Tiny
// pivots never bring non-finite values back as a success.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "qp_testing.h"
#include "support/listing_capture.h"

namespace {

using qp_testing::Problem;
using qp_testing::Result;
using qp_testing::Vec;

// Step variables n = rows[j].size(); H = I, relaxation data left to QPSUB.
Problem make(const std::vector<std::vector<double>>& rows, const std::vector<int>& kinds, const Vec& c,
             const Vec& g, const Vec& dl, const Vec& du) {
  Problem p;
  const int n = static_cast<int>(g.size());
  p.nq = n + 1;
  p.m = static_cast<int>(rows.size());
  p.ktype = kinds;
  for (int k : kinds) p.me += k == 0;
  p.h.assign(static_cast<std::size_t>(p.nq) * (p.nq + 1) / 2, 0.0);
  for (int i = 1; i <= n; ++i) p.h[qp_testing::ppos(i, i, p.nq)] = 1.0;
  p.g = g;
  p.dl = dl;
  p.du = du;
  p.g.push_back(0.0);
  p.dl.push_back(0.0);
  p.du.push_back(0.0);
  p.c = c;
  for (const Vec& r : rows) {
    p.a.insert(p.a.end(), r.begin(), r.end());
    p.a.push_back(0.0);
  }
  return p;
}

// Solves in both modes and compares with the brute force over faces; returns the optimum.
double expect_brute_force_optimum(const Problem& p, const std::string& what) {
  int dropped = 0;
  const qp_testing::Internal q =
      qp_testing::without_dependent_equalities(qp_testing::internal_form(p), dropped);
  double best = 0.0;
  const Vec d = qp_testing::brute_force(q, best);
  EXPECT_FALSE(d.empty()) << what;
  for (int mode : {0, 1}) {
    const Result r = qp_testing::solve(p, mode);
    const std::string at = what + " mode " + std::to_string(mode);
    if (r.qpfail == 2) {
      EXPECT_GT(dropped, 0) << at << ": code 2 for independent equalities";
      continue;
    }
    EXPECT_EQ(r.qpfail, 0) << at;
    for (const Vec* v : {&r.d, &r.u, &r.dl, &r.du})
      for (double x : *v) EXPECT_TRUE(std::isfinite(x)) << at;
    EXPECT_LT(qp_testing::check_kkt(p, r).feasibility, 1e-9) << at;
    EXPECT_NEAR(qp_testing::objective(q, r.d), best, 1e-6 * (1.0 + std::fabs(best))) << at;
  }
  return best;
}

TEST(QpsubDegenerate, FixedVariablesAndDependentRowsReachTheOptimum) {
  const double third = 1.0 / 3.0;
  struct Case {
    const char* name;
    Problem p;
  };
  const Case cases[] = {
      // Equalities 2 and 3 differ only in the fixed variable 2: D = (0, 0, -1, -1), relaxation 1.
      {"rows equal but for a fixed variable, k = -24.75",
       make({{0, -24.75, 1, 0}, {1, 1, 0, 1}, {1, 0, 0, 1}}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0, 0},
            {0, 0, -1, -1}, {0, 0, 1, 1})},
      {"the same with k = -2", make({{0, -2, 1, 0}, {1, 1, 0, 1}, {1, 0, 0, 1}}, {0, 0, 0}, {1, 1, 1},
                                    {0, 0, 0, 0}, {0, 0, -1, -1}, {0, 0, 1, 1})},
      {"two rows equal but for the fixed variable 1",
       make({{third, 0, -1.3, 0.7}, {-1, 0, -1.3, 0.7}}, {0, 0}, {2.5928580178877532, 2.5928580178877532},
            {0, 0, 0, 0}, {0, -1.6461163409513724, -1, -0.82270926467479455},
            {0, 1, 1.5515088712426131, 1.6041990775985548})},
      {"two fixed variables whose elimination rows are parallel",
       make({{-3, -24.75, 0.7, 0.1}, {1, -1.3, 0, 0}, {0, 1, -1.3, 0}}, {0, 0, 0},
            {1.1632587787728399, 0.05584793585473502, -0.042959950657488477}, {-24.75, 2, -24.75, third},
            {0, -2.3360757038200619, 0, -1}, {0, 1, 0, 1})},
  };
  for (const Case& k : cases) expect_brute_force_optimum(k.p, k.name);
  // The first case's optimum: relaxation 1 and D3 = D4 = -1 (G(NQ) = -1e5).
  EXPECT_NEAR(expect_brute_force_optimum(cases[0].p, "again"), -100000.0 + 1.5, 1e-6);
}

const double kPicks[] = {-24.75, -3.0, -1.0, -0.3, 0.1, 1.0, 1.0, 2.0, 0.7, -1.3, 5.5, 1.0 / 3.0};

double pick(std::mt19937& rng) {
  return kPicks[rng() % 12];
}

// 2..4 step variables, a third of them fixed at 0; 1..n equalities, each after the first either new
// or a combination of earlier rows with the fixed variables' coefficients changed at random; up to
// two inequalities built the same way; constants from a point inside the box (a third of the
// problems: all zero), so that the linearisation can be met.
Problem degenerate_problem(std::mt19937& rng) {
  std::uniform_real_distribution<double> ud(0.0, 1.0);
  const int n = 2 + static_cast<int>(rng() % 3);
  Problem p;
  p.nq = n + 1;
  p.me = 1 + static_cast<int>(rng() % n);
  p.m = p.me + static_cast<int>(rng() % 3);
  p.h.assign(static_cast<std::size_t>(p.nq) * (p.nq + 1) / 2, 0.0);
  if (rng() % 2) {
    for (int i = 1; i <= n; ++i) p.h[qp_testing::ppos(i, i, p.nq)] = 1.0;
  } else {
    const Vec hn = qp_testing::random_spd(n, rng);
    for (int j = 1; j <= n; ++j)
      for (int i = j; i <= n; ++i) p.h[qp_testing::ppos(i, j, p.nq)] = hn[qp_testing::ppos(i, j, n)];
  }
  p.g.assign(p.nq, 0.0);
  if (rng() % 2)
    for (int i = 0; i < n; ++i) p.g[i] = pick(rng);
  p.dl.assign(p.nq, 0.0);
  p.du.assign(p.nq, 0.0);
  std::vector<int> fixed(n);
  Vec x0(n, 0.0);
  const bool zero_constants = rng() % 3 == 0;
  for (int i = 0; i < n; ++i) {
    fixed[i] = rng() % 3 == 0;
    if (fixed[i]) continue;
    p.dl[i] = -(rng() % 2 ? 1.0 : 0.5 + 2 * ud(rng));
    p.du[i] = rng() % 2 ? 1.0 : 0.5 + 2 * ud(rng);
    if (zero_constants) continue;
    const int where = static_cast<int>(rng() % 3);
    x0[i] = where == 0 ? p.dl[i] : where == 1 ? p.du[i] : p.dl[i] + (p.du[i] - p.dl[i]) * ud(rng);
  }
  p.a.assign(static_cast<std::size_t>(p.nq) * p.m, 0.0);
  for (int j = 0; j < p.m; ++j) {
    p.ktype.push_back(j < p.me ? 0 : (rng() % 2 ? 1 : -1));
    double* col = &p.a[static_cast<std::size_t>(j) * p.nq];
    const int how = j == 0 ? 0 : static_cast<int>(rng() % 3);
    if (how == 0) {
      for (int i = 0; i < n; ++i) col[i] = rng() % 3 == 0 ? 0.0 : pick(rng);
    } else {
      const int r1 = static_cast<int>(rng() % j), r2 = static_cast<int>(rng() % j);
      const double f1 = how == 1 ? 1.0 : pick(rng), f2 = how == 1 ? 0.0 : pick(rng);
      for (int i = 0; i < n; ++i) col[i] = f1 * p.a[r1 * p.nq + i] + f2 * p.a[r2 * p.nq + i];
      for (int i = 0; i < n; ++i)
        if (fixed[i] && rng() % 2) col[i] = pick(rng);
    }
    double ax = 0.0;
    for (int i = 0; i < n; ++i) ax += col[i] * x0[i];
    const double slack = p.ktype[j] == 0 || rng() % 2 ? 0.0 : ud(rng);
    p.c.push_back(p.ktype[j] == 0 ? -ax : (p.ktype[j] == 1 ? -ax + slack : -ax - slack));
  }
  return p;
}

TEST(QpsubDegenerate, RandomFixedVariablesAndDependentRowsMatchBruteForce) {
  std::mt19937 rng(8123);
  int solved = 0, dependent = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const Problem p = degenerate_problem(rng);
    int dropped = 0;
    const qp_testing::Internal q =
        qp_testing::without_dependent_equalities(qp_testing::internal_form(p), dropped);
    double best = 0.0;
    ASSERT_FALSE(qp_testing::brute_force(q, best).empty()) << trial;
    for (int mode : {0, 1}) {
      const Result r = qp_testing::solve(p, mode);
      const std::string what = "trial " + std::to_string(trial) + " mode " + std::to_string(mode);
      if (r.qpfail == 2) {
        EXPECT_GT(dropped, 0) << what;
        ++dependent;
        continue;
      }
      ASSERT_EQ(r.qpfail, 0) << what;
      for (double x : r.d) ASSERT_TRUE(std::isfinite(x)) << what;
      EXPECT_LT(qp_testing::check_kkt(p, r).feasibility, 1e-9) << what;
      EXPECT_NEAR(qp_testing::objective(q, r.d), best, 1e-6 * (1.0 + std::fabs(best))) << what;
      ++solved;
    }
  }
  EXPECT_GT(solved, 1500);  // neither side of the check is vacuous
  EXPECT_GT(dependent, 750);
}

// An equality coefficient far below the others: 1/a overflows the reduced problem (-1e-300: the
// reduced Hessian; -1e-310: the pivot itself) and QPSUB fails with code 6 and zeros, never NaN; at
// -1e-150 everything stays finite and the relaxation variable is driven to 0 (the equality forces
// D(2) = 1e-150 D(1)).
TEST(QpsubDegenerate, TinyPivotNeverReturnsNonFiniteValues) {
  for (double a : {-1e-300, -1e-310, -1e-150}) {
    const Problem p = make({{a}}, {0}, {1.0}, {0.0}, {-1.0}, {1.0});
    for (int mode : {0, 1}) {
      SCOPED_TRACE("a " + std::to_string(a) + " mode " + std::to_string(mode));
      Result r;
      const std::string out = talvir_test::capture_listing([&] { r = qp_testing::solve(p, mode, 0); });
      for (const Vec* v : {&r.d, &r.u, &r.dl, &r.du})
        for (double x : *v) EXPECT_TRUE(std::isfinite(x));
      if (a == -1e-150) {
        EXPECT_EQ(r.qpfail, 0);
        EXPECT_LT(r.d[1], 1e-100);
        continue;
      }
      EXPECT_EQ(r.qpfail, 6);
      EXPECT_EQ(r.d, Vec(2, 0.0));
      EXPECT_EQ(r.u, Vec(1, 0.0));
      const std::string tail = "\n\n  *** QPSUB ERROR: NON-FINITE VALUE IN THE SUBPROBLEM\n\n";
      ASSERT_GE(out.size(), tail.size());
      EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    }
  }
}

}  // namespace
