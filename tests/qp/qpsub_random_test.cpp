// QPSUB on seeded random strictly convex QPs: the KKT conditions of the problem it solves, normal and
// reliable mode against each other, and brute force over all faces on tiny problems.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "qp_testing.h"

namespace {

using qp_testing::check_kkt;
using qp_testing::Problem;
using qp_testing::RandomShape;
using qp_testing::Result;

constexpr double kKktTol = 1e-9;

void expect_kkt(const Problem& p, const Result& r, const std::string& what) {
  ASSERT_EQ(r.qpfail, 0) << what;
  EXPECT_EQ(r.ktype, p.ktype) << what;
  for (double x : r.d) ASSERT_TRUE(std::isfinite(x)) << what;
  const qp_testing::Kkt k = check_kkt(p, r);
  EXPECT_LT(k.stationarity, kKktTol) << what;
  EXPECT_LT(k.feasibility, kKktTol) << what;
  EXPECT_LT(k.sign, kKktTol) << what;
  EXPECT_LT(k.complementarity, kKktTol) << what;
}

TEST(QpsubRandom, FeasibleProblemsMeetKktInBothModesAndAgree) {
  std::mt19937 rng(7001);
  int unique = 0;
  for (int trial = 0; trial < 300; ++trial) {
    RandomShape shape;
    shape.n = 1 + trial % 40;
    shape.me = std::min(shape.n - 1, static_cast<int>(rng() % 6));
    shape.mr = static_cast<int>(rng() % (2 * shape.n + 2));
    shape.bound = 0.1 + 0.02 * static_cast<double>(rng() % 100);  // narrow boxes make bounds active
    const Problem p = qp_testing::random_problem(shape, rng);
    const std::string what = "trial " + std::to_string(trial) + " n " + std::to_string(shape.n);
    const Result normal = qp_testing::solve(p, 0);
    const Result reliable = qp_testing::solve(p, 1);
    expect_kkt(p, normal, what + " normal");
    expect_kkt(p, reliable, what + " reliable");
    EXPECT_NEAR(normal.d.back(), 1.0, 1e-9) << what;  // a feasible linearisation needs no relaxation
    EXPECT_LT(qp_testing::max_abs_diff(normal.d, reliable.d), 1e-8) << what;
    if (qp_testing::multipliers_unique(p, normal, reliable)) {
      ++unique;
      EXPECT_LT(qp_testing::max_abs_diff(normal.u, reliable.u), 1e-6) << what;
      EXPECT_LT(qp_testing::max_abs_diff(normal.dl, reliable.dl), 1e-6) << what;
      EXPECT_LT(qp_testing::max_abs_diff(normal.du, reliable.du), 1e-6) << what;
    }
  }
  EXPECT_GT(unique, 250);  // the multiplier comparison must not be vacuous
}

TEST(QpsubRandom, InfeasibleProblemsRelax) {
  std::mt19937 rng(7002);
  for (int trial = 0; trial < 100; ++trial) {
    RandomShape shape;
    shape.n = 1 + trial % 30;
    shape.me = std::min(shape.n - 1, static_cast<int>(rng() % 4));
    shape.mr = 2 + static_cast<int>(rng() % (shape.n + 2));
    shape.feasible = false;
    const Problem p = qp_testing::random_problem(shape, rng);
    const std::string what = "trial " + std::to_string(trial);
    for (int mode : {0, 1}) {
      const Result r = qp_testing::solve(p, mode);
      expect_kkt(p, r, what + " mode " + std::to_string(mode));
      EXPECT_LT(r.d.back(), 1.0 - 1e-6) << what;
      EXPECT_GE(r.d.back(), -1e-12) << what;
    }
  }
}

TEST(QpsubRandom, TinyProblemsMatchBruteForce) {
  std::mt19937 rng(7003);
  for (int trial = 0; trial < 200; ++trial) {
    RandomShape shape;
    shape.n = 1 + trial % 3;
    shape.me = static_cast<int>(rng() % shape.n);
    shape.mr = static_cast<int>(rng() % 4);
    shape.feasible = shape.mr < 2 || trial % 3 != 0;
    const Problem p = qp_testing::random_problem(shape, rng);
    double best = 0.0;
    const qp_testing::Vec d = qp_testing::brute_force(qp_testing::internal_form(p), best);
    ASSERT_FALSE(d.empty()) << trial;
    for (int mode : {0, 1}) {
      const Result r = qp_testing::solve(p, mode);
      ASSERT_EQ(r.qpfail, 0);
      EXPECT_LT(qp_testing::max_abs_diff(r.d, d), 1e-7) << "trial " << trial << " mode " << mode;
    }
  }
}

// Degenerate data: coefficients in {-1, 0, 1}, constants in {-1, 0, 1} (many constraints exactly
// active at 0), repeated rows and dependent equalities, integer gradients and bounds. Whatever the
// outcome, nothing is non-finite and KTYPE comes back; a success must meet the KKT conditions.
TEST(QpsubRandom, DegenerateIntegerProblems) {
  std::mt19937 rng(7004);
  int solved = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const int n = 1 + static_cast<int>(rng() % 6);
    Problem p;
    p.nq = n + 1;
    p.m = static_cast<int>(rng() % 12);
    p.h.assign(static_cast<std::size_t>(p.nq) * (p.nq + 1) / 2, 0.0);
    for (int i = 1; i <= n; ++i) p.h[qp_testing::ppos(i, i, p.nq)] = 1.0 + static_cast<double>(rng() % 3);
    p.g.assign(p.nq, 0.0);
    p.dl.assign(p.nq, 0.0);
    p.du.assign(p.nq, 0.0);
    for (int i = 0; i < n; ++i) {
      p.g[i] = static_cast<double>(static_cast<int>(rng() % 7) - 3);
      p.dl[i] = -static_cast<double>(rng() % 3);
      p.du[i] = static_cast<double>(rng() % 3);
    }
    p.a.assign(static_cast<std::size_t>(p.nq) * p.m, 0.0);
    for (int j = 0; j < p.m; ++j) {
      p.ktype.push_back(rng() % 4 == 0 ? 0 : (rng() % 2 ? 1 : -1));
      p.me += p.ktype.back() == 0;
      const bool repeat = j > 0 && rng() % 3 == 0;
      for (int i = 0; i < n; ++i)
        p.a[i + j * p.nq] =
            repeat ? p.a[i + (j - 1) * p.nq] : static_cast<double>(static_cast<int>(rng() % 3) - 1);
      p.c.push_back(static_cast<double>(static_cast<int>(rng() % 3) - 1));
    }
    for (int mode : {0, 1}) {
      const Result r = qp_testing::solve(p, mode);
      const std::string what = "trial " + std::to_string(trial) + " mode " + std::to_string(mode);
      ASSERT_TRUE(r.qpfail == 0 || r.qpfail == 2) << what;
      EXPECT_EQ(r.ktype, p.ktype) << what;
      if (r.qpfail != 0) continue;
      ++solved;
      for (const qp_testing::Vec* v : {&r.d, &r.u, &r.dl, &r.du})
        for (double x : *v) ASSERT_TRUE(std::isfinite(x)) << what;
      EXPECT_LT(check_kkt(p, r).worst(), 1e-9) << what;
    }
  }
  EXPECT_GT(solved, 4000);
}

}  // namespace
