// QPSUB: workspace check and failure messages, the relaxation variable, constraint senses, the
// exchange of equalities to the front and back, and the caller's arrays left as promised.
#include "qp/QPSUB.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "qp/QPACT.h"
#include "qp_testing.h"
#include "support/listing_capture.h"

namespace {

using qp_testing::Problem;
using qp_testing::Result;
using qp_testing::Vec;
using talvir_test::capture_listing;

// A problem in n step variables with H = I, wide bounds and the given constraints (columns of a).
Problem simple(int n, std::vector<int> ktype, Vec g, Vec a, Vec c) {
  Problem p;
  p.nq = n + 1;
  p.m = static_cast<int>(ktype.size());
  p.me = 0;
  for (int k : ktype) p.me += k == 0;
  p.ktype = std::move(ktype);
  p.h.assign(static_cast<std::size_t>(p.nq) * (p.nq + 1) / 2, 0.0);
  for (int i = 1; i <= n; ++i) p.h[qp_testing::ppos(i, i, p.nq)] = 1.0;
  p.g = std::move(g);
  p.g.push_back(0.0);
  p.dl.assign(p.nq, -1e4);
  p.du.assign(p.nq, 1e4);
  for (int j = 0; j < p.m; ++j) a.insert(a.begin() + j * p.nq + n, 0.0);  // row NQ
  p.a = std::move(a);
  p.c = std::move(c);
  return p;
}

TEST(Qpsub, WorkspaceMinima) {
  EXPECT_EQ(vek::qp::qpsub_min_liwa(3, 1, 0), 7);
  EXPECT_EQ(vek::qp::qpsub_min_lwa(3, 1, 0), 23);
  EXPECT_EQ(vek::qp::qpsub_min_liwa(3, 2, 1), 7);
  EXPECT_EQ(vek::qp::qpsub_min_lwa(3, 2, 1), 15);
}

TEST(Qpsub, WorkspaceMinimaOfLargeProblemsAreExact) {
  // 26755 * 80270 is past the int range, its half is not.
  EXPECT_EQ(vek::qp::qpsub_min_lwa(26755, 0, 0), 26755LL * 80270 / 2);
  EXPECT_EQ(vek::qp::qpsub_min_lwa(50001, 4, 1), 8 + 50000LL * 150005 / 2);
}

TEST(Qpsub, StorageMessageWithBothMinimaAndNothingChanged) {
  const Problem p = simple(2, {1}, {1.0, -1.0}, {1.0, 1.0}, {0.5});
  for (int short_one : {0, 1}) {
    for (int iprint : {0, -1}) {
      Problem w = p;
      std::vector<int> ktype = p.ktype;
      Vec d(3, -9.0), u(1, -9.0), dl = p.dl, du = p.du;
      std::vector<int> iwa(7);
      Vec wa(23);
      int qpfail = -1;
      const std::string out = capture_listing([&] {
        vek::qp::QPSUB(3, 3, 1, 0, ktype.data(), d.data(), u.data(), dl.data(), du.data(), w.c.data(),
                       w.a.data(), w.g.data(), w.h.data(), iwa.data(), wa.data(), 7 - (short_one == 0),
                       23 - (short_one == 1), 0, qpfail, iprint);
      });
      EXPECT_EQ(qpfail, 1);
      EXPECT_EQ(out, iprint < 0 ? ""
                                : "\n\n  *** QPSUB ERROR: THE MINIMUM STORAGE FOR IWA AND WA\n"
                                  "                   ARE     7  AND    23  RESPECTIVELY\n\n");
      EXPECT_EQ(d, Vec(3, -9.0));
      EXPECT_EQ(u, Vec(1, -9.0));
      EXPECT_EQ(ktype, p.ktype);
      EXPECT_EQ(w.a, p.a);
      EXPECT_EQ(w.g, p.g);
      EXPECT_EQ(w.h, p.h);
      EXPECT_EQ(dl, p.dl);
    }
  }
}

TEST(Qpsub, DependentEqualitiesGiveTheMessageAndKeepKtype) {
  // An inequality in front forces an exchange; the two equalities (1, 2) and (1, 2) are dependent.
  const Problem p = simple(2, {1, 0, 0}, {1.0, 1.0}, {1.0, 0.0, 1.0, 2.0, 1.0, 2.0}, {1.0, 0.5, 0.25});
  Result r;
  const std::string out = capture_listing([&] { r = qp_testing::solve(p, 0, 0); });
  EXPECT_EQ(r.qpfail, 2);
  EXPECT_EQ(out,
            "\n\n  *** QPSUB ERROR: EQUALITY CONSTRAINTS ARE LINEARLY\n"
            "                   DEPENDENT,  IR =   1\n\n");
  EXPECT_EQ(r.ktype, p.ktype);
  // More equalities than step variables: rank at most NQ - 1.
  const Problem more = simple(1, {0, 0}, {1.0}, {1.0, 2.0}, {1.0, 1.0});
  EXPECT_EQ(qp_testing::solve(more, 1).qpfail, 2);
}

TEST(Qpsub, ExchangeOfEqualitiesIsUndoneInTheMultipliers) {
  // Kinds (0, +1, 0, -1, 0): positions 2 and 5 exchange. The same problem with the constraints in
  // the order (1, 3, 5, 2, 4) needs no exchange; its results, mapped back, must agree.
  std::mt19937 rng(99);
  std::normal_distribution<double> nd(0.0, 1.0);
  const int n = 4;
  Vec a(static_cast<std::size_t>(n) * 5), g(n);
  for (double& x : a) x = nd(rng);
  for (double& x : g) x = 3.0 * nd(rng);
  // Both inequalities violated at 0, so they are active at the solution with non-zero multipliers.
  const Problem p = simple(n, {0, 1, 0, -1, 0}, g, a, {0.3, -1.0, -0.2, 1.0, 0.1});
  const int order[5] = {0, 2, 4, 1, 3};
  Vec a2, c2;
  std::vector<int> k2;
  for (int j : order) {
    a2.insert(a2.end(), a.begin() + j * n, a.begin() + (j + 1) * n);
    c2.push_back(p.c[j]);
    k2.push_back(p.ktype[j]);
  }
  const Problem q = simple(n, k2, g, a2, c2);
  for (int mode : {0, 1}) {
    const Result r = qp_testing::solve(p, mode);
    const Result s = qp_testing::solve(q, mode);
    ASSERT_EQ(r.qpfail, 0);
    EXPECT_EQ(r.ktype, p.ktype);
    EXPECT_LT(qp_testing::check_kkt(p, r).worst(), 1e-10);
    EXPECT_LT(qp_testing::max_abs_diff(r.d, s.d), 1e-12);
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(r.u[order[i]], s.u[i], 1e-9) << i;
    EXPECT_GT(r.u[1], 1e-3);   // kind +1: a non-negative multiplier
    EXPECT_LT(r.u[3], -1e-3);  // kind -1: the sign of the caller's sense
  }
}

TEST(Qpsub, MoreThan511ConstraintsWork) {
  // 600 constraints with the equalities at the back: their partners lie beyond 511.
  std::mt19937 rng(511);
  std::normal_distribution<double> nd(0.0, 1.0);
  const int n = 12, m = 600;
  std::vector<int> kinds(m);
  Vec a(static_cast<std::size_t>(n) * m), c(m), g(n);
  for (double& x : g) x = nd(rng);
  for (int j = 0; j < m; ++j) {
    kinds[j] = j >= m - 4 ? 0 : (j % 2 ? 1 : -1);
    for (int i = 0; i < n; ++i) a[i + j * n] = nd(rng);
    c[j] = kinds[j] == 0 ? 0.1 * nd(rng) : kinds[j] * (0.2 + std::fabs(nd(rng)));
  }
  const Problem p = simple(n, kinds, g, a, c);
  for (int mode : {0, 1}) {
    const Result r = qp_testing::solve(p, mode);
    ASSERT_EQ(r.qpfail, 0);
    EXPECT_EQ(r.ktype, p.ktype);
    EXPECT_LT(qp_testing::check_kkt(p, r).worst(), 1e-9);
  }
}

TEST(Qpsub, RelaxationVariableData) {
  // NQ = 1: G(1) = -1e5, H(1,1) = 1, so D(1) = 1 with upper-bound multiplier 1e5 - 1.
  Problem none = simple(0, {}, {}, {}, {});
  Result r = qp_testing::solve(none, 0);
  EXPECT_EQ(r.qpfail, 0);
  EXPECT_DOUBLE_EQ(r.d[0], 1.0);
  EXPECT_DOUBLE_EQ(r.du[0], 1e5 - 1.0);
  EXPECT_EQ(r.dl[0], 0.0);
  // A gradient entry of 2000 gives G(NQ) = -2e5; one of 1 gives -1e5.
  for (double g1 : {2000.0, 1.0}) {
    r = qp_testing::solve(simple(1, {}, {g1}, {}, {}), 1);
    EXPECT_DOUBLE_EQ(r.d[0], -g1);
    EXPECT_DOUBLE_EQ(r.du[1], std::max(100.0 * g1, 1e5) - 1.0);
  }
}

TEST(Qpsub, ConstraintSensesAndConstants) {
  // x + 3 <= 0 with f = x^2/2: x = -3, multiplier -3 (the caller's sense), relaxation 1.
  Result r = qp_testing::solve(simple(1, {-1}, {0.0}, {1.0}, {3.0}), 0);
  EXPECT_DOUBLE_EQ(r.d[0], -3.0);
  EXPECT_DOUBLE_EQ(r.d[1], 1.0);
  EXPECT_NEAR(r.u[0], -3.0, 1e-9);  // found next to the 1e5-sized multiplier of D(NQ) <= 1
  // x + 0.5 >= 0 keeps its constant; x >= 0 (C = 0) is homogeneous: f = x^2/2 + 10x.
  r = qp_testing::solve(simple(1, {1}, {10.0}, {1.0}, {0.5}), 1);
  EXPECT_DOUBLE_EQ(r.d[0], -0.5);
  EXPECT_DOUBLE_EQ(r.u[0], 9.5);
  r = qp_testing::solve(simple(1, {1}, {10.0}, {1.0}, {0.0}), 0);
  EXPECT_DOUBLE_EQ(r.d[0], 0.0);
  EXPECT_DOUBLE_EQ(r.u[0], 10.0);
}

TEST(Qpsub, ListingOnSuccessIsTheActiveSetLineOnly) {
  const Problem p = simple(2, {1}, {-1.0, -1.0}, {-1.0, -1.0}, {1.0});  // x1 + x2 <= 1 is active
  Result r;
  EXPECT_EQ(capture_listing([&] { r = qp_testing::solve(p, 0, 0); }),
            "\n *** MIRAX, NUMBER OF ACTIVE BOUNDS + CONSTRAINTS =     1\n");
  EXPECT_NEAR(r.u[0], 0.5, 1e-14);
  EXPECT_EQ(capture_listing([&] { r = qp_testing::solve(p, 1, -1); }), "");
}

// Nearly parallel equality normals (differences of 1e-9) leave a reduced problem on which the reliable
// mode adds and drops the same constraints forever (checked without a guard: still going after 10^6
// passes); the pass guard turns that into QPFAIL = 3.
TEST(Qpsub, EndlessAddingAndDroppingStopsWithFailure3) {
  Problem p;
  p.nq = 9;
  p.m = 6;
  p.me = 3;
  p.ktype = {0, -1, 1, 0, -1, 0};
  p.a = {-1,
         1,
         0,
         -1,
         1,
         1,
         1,
         1,
         0,
         0,
         0,
         1,
         1,
         -1,
         -1,
         1,
         1,
         0,
         0,
         -1,
         0,
         0,
         1,
         1,
         -1,
         1,
         0,
         -1e-10,
         -1.0000000011000001,
         0,
         0,
         0.99999999890000002,
         0.99999999989999999,
         -1.0000000011000001,
         1.0000000001,
         0,
         -1.0000000975124933e-19,
         -1.0000000022000002,
         0,
         0,
         0.99999999890000002,
         0.99999999900000003,
         -1.0000000001,
         1.0000000010000001,
         0,
         -1.0000000010000001e-10,
         -1.0000000011000001,
         1e-10,
         -1e-10,
         0.99999999790000005,
         0.99999999810000006,
         -1.0000000002,
         1.0000000020000002,
         0};
  p.c = {-1, 0, 0, 0, 1, 1};
  p.g = {2, 0, 3, 2, 3, 1, 1, 1, 0};
  p.h.assign(45, 0.0);
  for (int i = 1; i <= 8; ++i) p.h[qp_testing::ppos(i, i, 9)] = 1.0;
  p.dl = {0, -2, -2, 0, 0, -1, -1, -1, 0};
  p.du = {1, 1, 1, 0, 1, 2, 1, 1, 0};
  // Near-dependent equalities (differences near 1e-10; the elimination leaves a reduced Hessian with
  // entries near 1e17). The data as first found is now solved (below); these ten perturbations of
  // its coefficients still trip the limit.
  const Problem found = p;
  const std::pair<int, double> perturbed[] = {{13, -1.0000000000608749}, {14, -1.0000000000739417},
                                              {15, 1.0000000000401992},  {22, 0.9999999999967073},
                                              {23, 0.99999999990032495}, {36, -1.0000000974433489e-19},
                                              {41, 0.99999999901610359}, {45, -1.0000000008047343e-10},
                                              {46, -1.0000000009866312}, {50, 0.99999999835654529}};
  for (const auto& [k, v] : perturbed) p.a[k] = v;
  Result r;
  const std::string out = capture_listing([&] { r = qp_testing::solve(p, 1, 0); });
  EXPECT_EQ(r.qpfail, 3);
  const int limit = vek::qp::qpact_pass_limit(6, 3, 3);
  EXPECT_EQ(limit, 160);
  // The loop meets sigma = 0 in QPDEL again and again (the reduced Hessian has entries near 1e18 and
  // cancels); the listing ends with the active-set line and the failure.
  const std::string tail =
      "\n *** MIRAX, NUMBER OF ACTIVE BOUNDS + CONSTRAINTS =     4\n"
      "\n\n  *** QPSUB ERROR: ACTIVE SET ITERATION STOPPED AFTER   160  PASSES\n\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_EQ(r.ktype, p.ktype);
  for (const Vec* v : {&r.d, &r.u, &r.dl, &r.du})
    for (double x : *v) EXPECT_TRUE(std::isfinite(x));
  // The normal mode gets through the same data.
  EXPECT_EQ(qp_testing::solve(p, 0).qpfail, 0);
  // Without the perturbations the reliable mode used to stop at the limit as well; since the end of
  // the iteration looks at the projected gradient again it reaches the normal mode's optimum.
  p = found;
  const Result normal = qp_testing::solve(p, 0), reliable = qp_testing::solve(p, 1);
  ASSERT_EQ(normal.qpfail, 0);
  ASSERT_EQ(reliable.qpfail, 0);
  const qp_testing::Internal q = qp_testing::internal_form(p);
  const double f = qp_testing::objective(q, normal.d);
  EXPECT_NEAR(qp_testing::objective(q, reliable.d), f, 1e-6 * std::fabs(f));
  EXPECT_LT(qp_testing::check_kkt(p, normal).worst(), 1e-9);
}

TEST(Qpsub, InconsistentArgumentsAreRejectedUntouched) {
  Problem p = simple(2, {1, 0}, {1.0, 1.0}, {1.0, 1.0, 1.0, -1.0}, {1.0, 0.0});
  p.me = 0;  // one kind is 0
  Result r = qp_testing::solve(p, 0, 0);
  EXPECT_EQ(r.qpfail, 4);
  EXPECT_EQ(r.d, Vec(3, 0.0));
  p.me = 1;
  p.ktype[0] = 2;
  r = qp_testing::solve(p, 0, 0);
  EXPECT_EQ(r.qpfail, 4);
  EXPECT_EQ(r.ktype[0], 2);
}

}  // namespace
