// QPCHOL, QPADD and QPDEL: worked cases, messages, and random add/drop sequences checked against the
// defining identities of the QP factor storage.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "qp/QPADD.h"
#include "qp/QPCHOL.h"
#include "qp/QPDEL.h"
#include "qp/views.h"
#include "qp_testing.h"
#include "support/listing_capture.h"

namespace {

using qp_testing::ppos;
using qp_testing::Vec;
using talvir_test::capture_listing;
using vek::qp::Factor;

TEST(Qpchol, ReverseCholeskyOfWorkedMatrix) {
  Vec t = {4.0, 2.0, 3.0};
  const std::string out = capture_listing([&] { vek::qp::QPCHOL(2, t.data(), 0, 0); });
  EXPECT_EQ(out, "");
  EXPECT_NEAR(t[0], std::sqrt(8.0 / 3.0), 1e-15);
  EXPECT_NEAR(t[1], 2.0 / std::sqrt(3.0), 1e-15);
  EXPECT_NEAR(t[2], std::sqrt(3.0), 1e-15);
}

TEST(Qpchol, SmallPivotIsResetWithItsMessage) {
  Vec t = {0.0};
  const std::string out = capture_listing([&] { vek::qp::QPCHOL(1, t.data(), 0, 0); });
  EXPECT_EQ(out,
            "  \n"
            " *** MIRAX, SUM IN \"QPCHOL\" =   0.0000000000000000E+00\n"
            "   COMPUTATION CONTINUED BY RESETTING SUM TO 1.0E-12\n");
  EXPECT_DOUBLE_EQ(t[0], 1.0e-6);

  // A pivot of exactly 1e-12 is replaced too; a negative one silently with IPRINT < 0.
  Vec exact = {1.0e-12};
  EXPECT_NE(capture_listing([&] { vek::qp::QPCHOL(1, exact.data(), 0, 0); }), "");
  Vec negative = {-4.0};
  EXPECT_EQ(capture_listing([&] { vek::qp::QPCHOL(1, negative.data(), 0, -1); }), "");
  EXPECT_DOUBLE_EQ(negative[0], 1.0e-6);
}

TEST(Qpchol, LeavesTheLeadingPartAlone) {
  Vec t = {11.0, 12.0, 13.0, 4.0, 2.0, 3.0};  // n = 3, q = 1: positions 4..6 hold the block
  vek::qp::QPCHOL(3, t.data(), 1, -1);
  EXPECT_EQ(t[0], 11.0);
  EXPECT_EQ(t[1], 12.0);
  EXPECT_EQ(t[2], 13.0);
  EXPECT_NEAR(t[3], std::sqrt(8.0 / 3.0), 1e-15);
  Vec full = t;
  vek::qp::QPCHOL(3, full.data(), 3, 0);  // q = n: nothing at all
  EXPECT_EQ(full, t);
}

// The QP factor storage together with the normals it represents.
struct FactorState {
  int n;
  Vec h, q, t, w;
  std::vector<Vec> normals;
};

// Q orthogonal; rows 1..q of Q times R give the normals; Z'HZ = U U' for Z = rows q+1..n.
void expect_consistent(const FactorState& s, double tol) {
  const int n = s.n, nact = static_cast<int>(s.normals.size());
  const auto qm = [&](int i, int j) { return s.q[(i - 1) + (j - 1) * n]; };
  Vec tt = s.t;
  const Factor<double> f(tt.data(), n);
  for (int i = 1; i <= n; ++i)
    for (int k = 1; k <= n; ++k) {
      double dot = 0.0;
      for (int j = 1; j <= n; ++j) dot += qm(i, j) * qm(k, j);
      ASSERT_NEAR(dot, i == k ? 1.0 : 0.0, tol) << "Q'Q at " << i << "," << k;
    }
  for (int l = 1; l <= nact; ++l)
    for (int j = 1; j <= n; ++j) {
      double a = 0.0;
      for (int k = 1; k <= l; ++k) a += f.r(k, l) * qm(k, j);
      ASSERT_NEAR(a, s.normals[l - 1][j - 1], tol) << "normal " << l << " component " << j;
    }
  for (int i = nact + 1; i <= n; ++i)
    for (int k = nact + 1; k <= n; ++k) {
      double zhz = 0.0;
      for (int a = 1; a <= n; ++a)
        for (int b = 1; b <= n; ++b) zhz += qm(i, a) * s.h[ppos(a, b, n)] * qm(k, b);
      double uu = 0.0;
      for (int m = std::max(i, k); m <= n; ++m) uu += f.u(i, m) * f.u(k, m);
      ASSERT_NEAR(uu, zhz, tol) << "Z'HZ at " << i << "," << k;
    }
}

TEST(Qpadd, WorkedExchangeOfTwoRows) {
  FactorState s{2, {1.0, 0.0, 1.0}, {1.0, 0.0, 0.0, 1.0}, {1.0, 0.0, 1.0}, Vec(2), {{0.0, 1.0}}};
  vek::qp::QPADD(2, 0, s.normals[0].data(), s.q.data(), s.t.data(), s.w.data());
  EXPECT_EQ(s.q, (Vec{0.0, 1.0, 1.0, 0.0}));  // rows 1 and 2 changed places
  EXPECT_EQ(s.t[0], 1.0);                     // R(1,1)
  EXPECT_EQ(s.t[2], 1.0);                     // U(2,2)
  expect_consistent(s, 1e-15);
}

TEST(Qpadd, LastNormalAndUnderflowingComponents) {
  // q = n-1: no rotation, R(n,n) = Q(n,:)a even when negative.
  FactorState s{2, {1.0, 0.0, 1.0}, {1.0, 0.0, 0.0, 1.0}, {1.0, 0.0, 1.0}, Vec(2), {{1.0, 0.0}}};
  Vec a = {3.0, -2.0};
  vek::qp::QPADD(2, 1, a.data(), s.q.data(), s.t.data(), s.w.data());
  EXPECT_EQ(s.t[1], 3.0);
  EXPECT_EQ(s.t[2], -2.0);
  // Components whose squares underflow: the rotation is an exchange, no NaN.
  FactorState u{2, {1.0, 0.0, 1.0}, {1.0, 0.0, 0.0, 1.0}, {1.0, 0.0, 1.0}, Vec(2), {}};
  Vec tiny = {1e-170, 2e-170};
  vek::qp::QPADD(2, 0, tiny.data(), u.q.data(), u.t.data(), u.w.data());
  EXPECT_EQ(u.q, (Vec{0.0, 1.0, 1.0, 0.0}));
  EXPECT_EQ(u.t[0], 2e-170);
  for (double x : u.t) EXPECT_TRUE(std::isfinite(x));
}

TEST(Qpdel, WorkedDropOfTheFirstOfTwo) {
  // n = 3, q = 2, Q = I, R = I, H = I: c = 0, s = 1, rows 1 and 2 of Q change places.
  FactorState s{3, {1, 0, 0, 1, 0, 1}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 0, 1, 0, 0, 1}, Vec(3), {}};
  int ifail = -1;
  const std::string out = capture_listing(
      [&] { vek::qp::QPDEL(3, 2, 1, ifail, s.w.data(), s.q.data(), s.h.data(), s.t.data(), 0); });
  EXPECT_EQ(out, "");
  EXPECT_EQ(ifail, 0);
  EXPECT_EQ(s.q, (Vec{0, 1, 0, 1, 0, 0, 0, 0, 1}));
  s.normals = {{0.0, 1.0, 0.0}};
  expect_consistent(s, 1e-15);
}

TEST(Qpdel, IndefiniteReducedHessianHasADefinedOutcome) {
  Vec q = {1.0}, h = {-1.0}, t = {1.0}, w(1);
  int ifail = 0;
  const std::string out =
      capture_listing([&] { vek::qp::QPDEL(1, 1, 1, ifail, w.data(), q.data(), h.data(), t.data(), 0); });
  EXPECT_EQ(out,
            "  \n"
            " *** MIRAX, THE MATRIX ZHZ HAS BECOME INDEFINITE IN \"QPDEL\"\n"
            "   SUM =  -1.0000000000000000E+00\n");
  EXPECT_EQ(ifail, 1);
  EXPECT_DOUBLE_EQ(t[0], 1.0e-6);  // the pivot reset, never an unset value
  // sigma exactly 0 is indefinite too; silent with IPRINT < 0.
  Vec h0 = {0.0}, t0 = {1.0}, q0 = {1.0};
  EXPECT_EQ(
      capture_listing([&] { vek::qp::QPDEL(1, 1, 1, ifail, w.data(), q0.data(), h0.data(), t0.data(), -1); }),
      "");
  EXPECT_EQ(ifail, 1);
  EXPECT_DOUBLE_EQ(t0[0], 1.0e-6);
}

TEST(Qpdel, ZeroDiagonalOfRGivesNoRotationInsteadOfNaN) {
  // Column 2 of R is zero (a normal with no component at all next to one with R(1,1) = 0): dropping
  // position 1 meets the pair R(1,2) = R(2,2) = 0, whose rotation would divide by r = 0.
  const int n = 3;
  Vec h = {2, 0, 0, 2, 0, 2}, q = {1, 0, 0, 0, 1, 0, 0, 0, 1}, w(n);
  Vec t = {0.0, 0.0, 0.0, 0.0, 0.0, 1.0};  // R = [[0, 0], [0, 0]] (a zero pair in column 2), U(3,3) = 1
  int ifail = 0;
  vek::qp::QPDEL(n, 2, 1, ifail, w.data(), q.data(), h.data(), t.data(), -1);
  for (double x : q) EXPECT_TRUE(std::isfinite(x));
  for (double x : t) EXPECT_TRUE(std::isfinite(x));
  EXPECT_EQ(q[0], 1.0);   // row 1 kept (c = 1, s = 0)
  EXPECT_EQ(q[4], -1.0);  // row 2 only changes sign
}

// U U' reproduces the trailing block for orders and leading parts where whole groups of four rows and
// single rows both occur; the leading positions stay as they were.
TEST(Qpchol, FactorReproducesTheTrailingBlock) {
  std::mt19937 rng(20261208);
  for (const auto& [n, q] : std::vector<std::pair<int, int>>{{6, 0}, {7, 2}, {13, 1}, {40, 5}, {41, 0}}) {
    const Vec h = qp_testing::random_spd(n, rng);
    Vec t(h.size(), -3.0);
    const Factor<double> f(t.data(), n);
    for (int i = q + 1; i <= n; ++i)
      for (int j = i; j <= n; ++j) f.u(i, j) = h[ppos(j, i, n)];
    const Vec before = t;
    vek::qp::QPCHOL(n, t.data(), q, -1);
    for (int i = 1; i <= n; ++i)
      for (int j = i; j <= n; ++j) {
        if (i <= q) {
          EXPECT_EQ(f.u(i, j), before[&f.u(i, j) - t.data()]) << n << " " << i << " " << j;
          continue;
        }
        double s = 0.0;
        for (int m = j; m <= n; ++m) s += f.u(i, m) * f.u(j, m);
        EXPECT_NEAR(s, h[ppos(j, i, n)], 1e-12) << n << " " << q << " " << i << " " << j;
      }
  }
}

// Random sequences: start from the Cholesky factor of H (q = 0), add random normals and drop random
// positions, and compare with the identities after every update.
TEST(QpFactorUpdates, RandomAddDropSequencesMatchAFactorisationFromScratch) {
  std::mt19937 rng(20240611);
  std::normal_distribution<double> nd(0.0, 1.0);
  for (int trial = 0; trial < 40; ++trial) {
    const int n = 2 + trial % 9;
    FactorState s{n, qp_testing::random_spd(n, rng), Vec(static_cast<std::size_t>(n) * n, 0.0), {}, Vec(n),
                  {}};
    for (int i = 0; i < n; ++i) s.q[i * n + i] = 1.0;
    s.t = s.h;
    vek::qp::QPCHOL(n, s.t.data(), 0, -1);
    expect_consistent(s, 1e-12);
    for (int op = 0; op < 4 * n; ++op) {
      const int nact = static_cast<int>(s.normals.size());
      const bool add = nact == 0 || (nact < n && nd(rng) > -0.3);
      if (add) {
        Vec a(n);
        for (double& x : a) x = nd(rng);
        vek::qp::QPADD(n, nact, a.data(), s.q.data(), s.t.data(), s.w.data());
        s.normals.push_back(a);
      } else {
        const int l = 1 + static_cast<int>(rng() % static_cast<unsigned>(nact));
        int ifail = -1;
        vek::qp::QPDEL(n, nact, l, ifail, s.w.data(), s.q.data(), s.h.data(), s.t.data(), -1);
        ASSERT_EQ(ifail, 0);
        s.normals.erase(s.normals.begin() + (l - 1));
      }
      expect_consistent(s, 1e-10);
    }
  }
}

}  // namespace
