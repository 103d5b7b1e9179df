// QPREDU and QPBACK: the pivot rules and messages, and the reduction itself checked on points that
// satisfy the equality constraints (the reduced problem must agree with the full one there).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qp/QPBACK.h"
#include "qp/QPREDU.h"
#include "qp_testing.h"
#include "support/listing_capture.h"

namespace {

using qp_testing::ppos;
using qp_testing::Vec;
using talvir_test::capture_listing;

struct Elim {
  int nq, m, me, ir = -1;
  std::vector<int> iwa;
  Vec a, g, h, dl, du, wa;
  Elim(int nq_, int m_, int me_)
      : nq(nq_),
        m(m_),
        me(me_),
        iwa(me_, -7),
        a(static_cast<std::size_t>(nq_) * m_),
        g(nq_),
        h(static_cast<std::size_t>(nq_) * (nq_ + 1) / 2),
        dl(nq_),
        du(nq_),
        wa(nq_, -5.0) {}
  double& at(int i, int j) { return a[(i - 1) + (j - 1) * nq]; }
  std::string reduce(int iprint = 0) {
    return capture_listing([&] {
      vek::qp::QPREDU(nq, nq, m, me, ir, iwa.data(), a.data(), g.data(), h.data(), dl.data(), du.data(),
                      wa.data(), iprint);
    });
  }
};

TEST(Qpredu, NoEqualitiesChangesNothing) {
  Elim e(3, 1, 0);
  e.a = {1.0, 2.0, 3.0};
  const Elim before = e;
  EXPECT_EQ(e.reduce(), "");
  EXPECT_EQ(e.ir, 0);
  EXPECT_EQ(e.a, before.a);
  EXPECT_EQ(e.wa, before.wa);
}

TEST(Qpredu, DependentEqualitiesStopAtTheirRank) {
  Elim e(3, 2, 2);  // (1, 2) and (1, 2) on two variables, constants in row 3
  e.a = {1.0, 2.0, 0.5, 1.0, 2.0, 0.5};
  EXPECT_EQ(e.reduce(), "");  // the message belongs to QPSUB
  EXPECT_EQ(e.ir, 1);
  EXPECT_EQ(e.iwa[0], 1);  // the ratios 1/1 and 2/2 tie: the first wins
  Elim more(2, 2, 2);      // two equalities, one step variable
  more.a = {1.0, -1.0, 1.0, -2.0};
  more.reduce();
  EXPECT_EQ(more.ir, 1);
}

TEST(Qpredu, SmallPivotWarningAtExactly1em10) {
  // The second (inequality) column fixes the row scale of variable 1 at 1, so the ratio is the pivot.
  Elim warn(2, 2, 1);
  warn.a = {1e-10, 0.0, 1.0, 0.0};
  const std::string text = "*** MIRAX, SMALL PIVOT IN \"QPREDU\" = ";
  EXPECT_EQ(text.size(), 37u);
  EXPECT_EQ(warn.reduce(), "  \n " + text + "  1.0000000000000000E-10\n");
  EXPECT_EQ(warn.ir, 1);
  Elim quiet(2, 2, 1);
  quiet.a = {1.0000001e-10, 0.0, 1.0, 0.0};
  EXPECT_EQ(quiet.reduce(), "");
  Elim silent(2, 2, 1);
  silent.a = warn.a;
  EXPECT_EQ(silent.reduce(-1), "");
}

TEST(Qpredu, ScaledPivotingAndInterchange) {
  // Variable 1: coefficient 0.001 under the floor 0.01 (ratio 0.1); variable 2: 0.5 against a row
  // scale of 10 (ratio 0.05). Variable 1 is the pivot.
  Elim keep(3, 2, 1);
  keep.a = {0.001, 0.5, 0.0, 0.0, 10.0, 0.0};
  keep.reduce();
  EXPECT_EQ(keep.iwa[0], 1);
  // With the coefficients the other way round variable 2 wins and trades places with variable 1
  // in A, G, DL, DU and H.
  Elim swap(3, 2, 1);
  swap.a = {0.5, 0.001, 0.0, 10.0, 0.0, 0.0};
  swap.g = {1.0, 2.0, 3.0};
  swap.dl = {-1.0, -2.0, -3.0};
  swap.du = {1.0, 2.0, 3.0};
  swap.h = {11.0, 21.0, 31.0, 22.0, 32.0, 33.0};
  swap.reduce();
  EXPECT_EQ(swap.iwa[0], 2);
  EXPECT_EQ(swap.dl, (Vec{-2.0, -1.0, -3.0}));
  EXPECT_EQ(swap.du, (Vec{2.0, 1.0, 3.0}));
  EXPECT_EQ(swap.g[0], 2.0);
  EXPECT_EQ(swap.h[ppos(1, 1, 3)], 22.0);  // column 1 only permuted
  EXPECT_EQ(swap.h[ppos(2, 1, 3)], 21.0);
  EXPECT_EQ(swap.h[ppos(3, 1, 3)], 32.0);
}

// For free values x_F the eliminated ones follow from E; the full point must satisfy every equality,
// and objective and inequality values must be those of the reduced problem. The last two trials are
// large enough for the blocked loops of the any-size instance (several blocks of rows).
TEST(Qpredu, ReducedProblemAgreesWithTheFullOneOnTheEqualities) {
  std::mt19937 rng(4242);
  std::normal_distribution<double> nd(0.0, 1.0);
  for (int trial = 0; trial < 62; ++trial) {
    const bool large = trial >= 60;
    const int nq = large ? 300 + 230 * (trial - 60) : 2 + trial % 12;
    const int me = large ? nq / 2 : 1 + static_cast<int>(rng() % (nq - 1)), m = me + (large ? 40 : trial % 4);
    Elim e(nq, m, me);
    for (double& x : e.a) x = nd(rng);
    for (double& x : e.g) x = nd(rng);
    e.h = qp_testing::random_spd(nq, rng);
    const Elim full = e;
    e.reduce(-1);
    ASSERT_EQ(e.ir, me);
    // xp: a point in the interchanged numbering with the eliminated variables from E; x: the same
    // point in the caller's numbering.
    Vec xp(nq);
    for (int l = me + 1; l <= nq; ++l) xp[l - 1] = nd(rng);
    for (int k = 1; k <= me; ++k) {
      double s = 0.0;
      for (int l = me + 1; l <= nq; ++l) s += e.at(l, k) * xp[l - 1];
      xp[k - 1] = -s;
    }
    Vec x = xp;
    for (int i = me; i >= 1; --i) std::swap(x[i - 1], x[e.iwa[i - 1] - 1]);
    Elim f = full;
    for (int j = 1; j <= m; ++j) {
      double full_value = 0.0, reduced_value = 0.0;
      for (int i = 1; i <= nq; ++i) full_value += f.at(i, j) * x[i - 1];
      for (int l = me + 1; l <= nq; ++l) reduced_value += e.at(l, j) * xp[l - 1];
      EXPECT_NEAR(full_value, j <= me ? 0.0 : reduced_value, 1e-11 * nq) << trial << " row " << j;
    }
    double full_obj = 0.0, red_obj = 0.0;
    for (int i = 1; i <= nq; ++i) {
      full_obj += f.g[i - 1] * x[i - 1];
      for (int j = 1; j <= nq; ++j) full_obj += 0.5 * x[i - 1] * f.h[ppos(i, j, nq)] * x[j - 1];
    }
    const int nr = nq - me;
    const std::size_t block = ppos(me + 1, me + 1, nq);  // the trailing triangle of order nr
    for (int i = 1; i <= nr; ++i) {
      red_obj += e.g[me + i - 1] * xp[me + i - 1];
      for (int j = 1; j <= nr; ++j)
        red_obj += 0.5 * xp[me + i - 1] * e.h[block + ppos(i, j, nr)] * xp[me + j - 1];
    }
    EXPECT_NEAR(full_obj, red_obj, 1e-10 * (1.0 + std::fabs(full_obj))) << trial;
  }
}

// With room beyond NQ in WA (QPSUB's any-size instance) the exchange steps go several to a pass and the
// reduced Hessian 16, 8 or 4 columns to a pass; every result must be bitwise that of the narrow
// workspace: dense equalities; sparse ones in tenths, whose eliminations leave rounding residues to clear;
// equalities that are sums of earlier ones, which must stop at the same step; and reductions with
// several blocks of rows.
TEST(Qpredu, StepsTakenSeveralToAPassAreBitwiseThoseTakenOneAtATime) {
  struct Shape {
    int nq, m, me, dependent_every;
    bool tenths;
    double scale = 1.0;  // of the equalities' coefficients (1e-300: sums that reach the subnormal range)
  };
  const Shape shapes[] = {
      {6, 5, 4, 0, false},           {41, 30, 20, 0, false},  {120, 70, 60, 0, false},
      {9, 8, 8, 0, false},           {30, 20, 18, 0, true},   {90, 80, 70, 0, true},
      {60, 45, 40, 7, true},         {60, 45, 40, 11, false}, {25, 24, 24, 5, true},
      {403, 60, 41, 0, false},       {300, 250, 97, 0, true}, {40, 30, 24, 0, true, 1e-300},
      {40, 30, 24, 5, false, 1e-300}};
  std::mt19937 rng(77);
  for (const Shape& sh : shapes) {
    for (int trial = 0; trial < 6; ++trial) {
      Elim e(sh.nq, sh.m, sh.me);
      for (double& x : e.a)
        x = sh.tenths ? 0.1 * (static_cast<int>(rng() % 7) - 3) : std::ldexp(rng(), -31) - 1.0;
      for (int j = sh.dependent_every; j > 0 && j <= sh.me; j += sh.dependent_every)
        for (int i = 1; i <= sh.nq; ++i) e.at(i, j) = e.at(i, j - 1) * 0.3 + e.at(i, 1);
      for (int j = 1; j <= sh.me; ++j)
        for (int i = 1; i <= sh.nq; ++i) e.at(i, j) *= sh.scale;
      for (double& x : e.g) x = std::ldexp(rng(), -31);
      e.h = qp_testing::random_spd(sh.nq, rng);
      Elim grouped = e;
      grouped.wa.assign(4 * sh.nq, -5.0);
      for (Elim* x : {&e, &grouped}) {
        vek::qp::detail::qpredu_sized<0>(x->nq, x->nq, x->m, x->me, x->ir, x->iwa.data(), x->a.data(),
                                         x->g.data(), x->h.data(), x->dl.data(), x->du.data(), x->wa.data(),
                                         -1, static_cast<long long>(x->wa.size()));
      }
      const auto same = [](const Vec& x, const Vec& y) {
        return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0;
      };
      const std::string where = "nq " + std::to_string(sh.nq) + " trial " + std::to_string(trial);
      EXPECT_EQ(e.ir, grouped.ir) << where;
      EXPECT_EQ(e.iwa, grouped.iwa) << where;
      EXPECT_TRUE(same(e.a, grouped.a) && same(e.g, grouped.g) && same(e.h, grouped.h)) << where;
      EXPECT_TRUE(same(e.dl, grouped.dl) && same(e.du, grouped.du)) << where;
    }
  }
}

TEST(Qpback, WorkedEqualityAndItsMultiplier) {
  // x1 + 2 x2 + c x3 = 0: variable 1 is eliminated; D(1) = -(2 D(2) + c D(3)); U(1) is the
  // stationarity residual of variable 1 (its coefficient is 1).
  const double c = 0.75;
  Elim e(3, 1, 1);
  e.a = {1.0, 2.0, c};
  e.g = {0.5, -1.0, 2.0};
  e.h = {2.0, 0.5, 0.25, 3.0, 0.0, 1.0};
  const Elim orig = e;
  e.reduce();
  ASSERT_EQ(e.ir, 1);
  Vec d = {99.0, 0.4, 1.0}, u = {99.0}, dl = {0.0, 0.0, 0.0}, du = {0.0, 0.0, 0.0}, wa(1);
  vek::qp::QPBACK(3, 3, 1, 1, e.iwa.data(), d.data(), u.data(), dl.data(), du.data(), e.a.data(), e.g.data(),
                  e.h.data(), wa.data());
  EXPECT_DOUBLE_EQ(d[0], -(2.0 * 0.4 + c * 1.0));
  double residual = orig.g[0];
  for (int j = 1; j <= 3; ++j) residual += orig.h[ppos(1, j, 3)] * d[j - 1];
  EXPECT_NEAR(u[0], residual, 1e-15);
}

TEST(Qpback, InterchangesUndoneInReverseOrder) {
  // Records (2, 2): first the pair (2, 2) (nothing), then (1, 2).
  const int iwa[2] = {2, 2};
  Vec a(3 * 2, 0.0), g(3, 0.0), h(6, 0.0), wa(2);
  a[2] = -5.0;  // A(3,1): D(1) = 5 D(3)
  a[5] = -7.0;  // A(3,2): D(2) = 7 D(3)
  a[0] = a[4] = 1.0;
  Vec d = {0.0, 0.0, 1.0}, u = {0.0, 0.0}, dl = {1.0, 2.0, 3.0}, du = {4.0, 5.0, 6.0};
  vek::qp::QPBACK(3, 3, 2, 2, iwa, d.data(), u.data(), dl.data(), du.data(), a.data(), g.data(), h.data(),
                  wa.data());
  EXPECT_EQ(d, (Vec{7.0, 5.0, 1.0}));
  EXPECT_EQ(dl, (Vec{2.0, 1.0, 3.0}));
  EXPECT_EQ(du, (Vec{5.0, 4.0, 6.0}));
  // ME = 0 touches nothing.
  Vec d0 = d;
  vek::qp::QPBACK(3, 3, 0, 2, iwa, d.data(), u.data(), dl.data(), du.data(), a.data(), g.data(), h.data(),
                  wa.data());
  EXPECT_EQ(d, d0);
}

}  // namespace
