// QPSUB on seeded random strictly convex QPs: the KKT conditions of the problem it solves, normal and
// reliable mode against each other, and brute force over all faces on tiny problems.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "qp_testing.h"

namespace {

using qp_testing::check_kkt;
using qp_testing::Problem;
using qp_testing::RandomSpec;
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
    RandomSpec spec;
    spec.n = 1 + trial % 40;
    spec.me = std::min(spec.n - 1, static_cast<int>(rng() % 6));
    spec.mr = static_cast<int>(rng() % (2 * spec.n + 2));
    spec.bound = 0.1 + 0.02 * static_cast<double>(rng() % 100);  // narrow boxes make bounds active
    const Problem p = qp_testing::random_problem(spec, rng);
    const std::string what = "trial " + std::to_string(trial) + " n " + std::to_string(spec.n);
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
    RandomSpec spec;
    spec.n = 1 + trial % 30;
    spec.me = std::min(spec.n - 1, static_cast<int>(rng() % 4));
    spec.mr = 2 + static_cast<int>(rng() % (spec.n + 2));
    spec.feasible = false;
    const Problem p = qp_testing::random_problem(spec, rng);
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
    RandomSpec spec;
    spec.n = 1 + trial % 3;
    spec.me = static_cast<int>(rng() % spec.n);
    spec.mr = static_cast<int>(rng() % 4);
    spec.feasible = spec.mr < 2 || trial % 3 != 0;
    const Problem p = qp_testing::random_problem(spec, rng);
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

}  // namespace
