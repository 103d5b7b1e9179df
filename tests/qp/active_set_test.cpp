// QPACT (normal mode) and QPACTR (reliable mode) on the reduced problem: worked cases that reveal the
// scaling, the ratio test with its tie rules, the multipliers out, the drop rules and the pass guard.
#include "qp/active_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "qp/QPACT.h"
#include "qp/QPACTR.h"
#include "qp_testing.h"
#include "support/listing_capture.h"

namespace {

using qp_testing::Vec;
using talvir_test::capture_listing;
using vek::qp::detail::ActiveMode;

constexpr int kNormal = 0;
constexpr int kReliable = 1;

// The reduced problem with every array at its exact length (LCN = NR).
struct Reduced {
  int nr, me, mr;
  std::vector<int> iact, ibnd, ielb, iine;
  Vec d, v, ui, dl, el, du, eu, c, ae, ai, g, h, gd, w, se, si, fe, fi, q, t;
  int status = -1;

  Reduced(int n, int e, int r)
      : nr(n),
        me(e),
        mr(r),
        iact(n),
        ibnd(n),
        ielb(e),
        iine(r),
        d(n),
        v(e),
        ui(r),
        dl(n, -10.0),
        el(e),
        du(n, 10.0),
        eu(e),
        c(r),
        ae(static_cast<std::size_t>(n) * e),
        ai(static_cast<std::size_t>(n) * r),
        g(n),
        h(static_cast<std::size_t>(n) * (n + 1) / 2),
        gd(n),
        w(n),
        se(e),
        si(r),
        fe(e),
        fi(r),
        q(static_cast<std::size_t>(n) * n),
        t(static_cast<std::size_t>(n) * (n + 1) / 2) {}

  vek::qp::detail::ActiveSetArgs args() {
    return {nr,        nr,        me,        mr,        iact.data(), ibnd.data(), ielb.data(), iine.data(),
            d.data(),  v.data(),  ui.data(), dl.data(), el.data(),   du.data(),   eu.data(),   c.data(),
            ae.data(), ai.data(), g.data(),  h.data(),  gd.data(),   w.data(),    se.data(),   si.data(),
            fe.data(), fi.data(), q.data(),  t.data(),  -1};
  }

  // Runs QPACT or QPACTR and returns the listing.
  std::string run(int mode, int iprint = 0) {
    return capture_listing([&] {
      auto f = mode == kReliable ? vek::qp::QPACTR : vek::qp::QPACT;
      f(nr, nr, me, mr, iact.data(), ibnd.data(), ielb.data(), iine.data(), d.data(), v.data(), ui.data(),
        dl.data(), el.data(), du.data(), eu.data(), c.data(), ae.data(), ai.data(), g.data(), h.data(),
        gd.data(), w.data(), se.data(), si.data(), fe.data(), fi.data(), q.data(), t.data(), iprint, status);
    });
  }

  // Runs the shared loop with a small pass limit, to look at an intermediate iterate.
  void run_limited(int mode, int limit) {
    vek::qp::detail::ActiveSet s(mode == kReliable ? ActiveMode::reliable : ActiveMode::normal, args(),
                                 limit);
    s.scale_rows();
    if (mode == kReliable) {
      s.start_reliable();
    } else {
      s.start_normal();
    }
    status = s.run();
  }
};

std::string count_line(int n) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "\n *** MIRAX, NUMBER OF ACTIVE BOUNDS + CONSTRAINTS = %5d\n", n);
  return buf;
}

TEST(ActiveSet, UnconstrainedNewtonStepBothModes) {
  for (int mode : {kNormal, kReliable}) {
    Reduced r(1, 0, 0);
    r.h = {2.0};
    r.g = {-2.0};
    EXPECT_EQ(r.run(mode), count_line(0));
    EXPECT_EQ(r.status, 0);
    EXPECT_DOUBLE_EQ(r.d[0], 1.0);
    EXPECT_EQ(r.dl[0], 0.0);
    EXPECT_EQ(r.du[0], 0.0);
  }
}

TEST(ActiveSet, NewtonStepCutByABoundGivesItsMultiplier) {
  for (int mode : {kNormal, kReliable}) {
    Reduced r(1, 0, 0);
    r.h = {1.0};
    r.g = {-5.0};
    r.du = {2.0};
    EXPECT_EQ(r.run(mode), count_line(0));
    EXPECT_DOUBLE_EQ(r.d[0], 2.0);
    EXPECT_EQ(r.ibnd[0], 2);
    EXPECT_DOUBLE_EQ(r.du[0], 3.0);
    EXPECT_EQ(r.dl[0], 0.0);
  }
}

TEST(ActiveSet, SingleVariableRowsAreScaledBy100) {
  for (int mode : {kNormal, kReliable}) {
    Reduced r(1, 0, 1);  // D + 1 >= 0
    r.ai = {1.0};
    r.c = {1.0};
    r.h = {1.0};
    r.g = {5.0};
    r.run(mode);
    EXPECT_DOUBLE_EQ(r.d[0], -1.0);
    EXPECT_DOUBLE_EQ(r.ui[0], 4.0);  // the multiplier of the caller's row
    EXPECT_EQ(r.ai[0], 100.0);       // left scaled
    EXPECT_EQ(r.c[0], 100.0);
    EXPECT_EQ(r.fi[0], 100.0);
  }
}

TEST(ActiveSet, EliminationRowBoundsAndRestoredCoefficients) {
  for (int mode : {kNormal, kReliable}) {
    Reduced r(1, 1, 0);  // the eliminated variable -D must stay in [EL, EU] = [-3, 2]
    r.ae = {1.0};
    r.el = {-3.0};
    r.eu = {2.0};
    r.h = {1.0};
    r.g = {-10.0};
    r.run(mode);
    EXPECT_DOUBLE_EQ(r.d[0], 3.0);
    EXPECT_EQ(r.ielb[0], 1);
    EXPECT_DOUBLE_EQ(r.el[0], 7.0);
    EXPECT_EQ(r.eu[0], 0.0);
    EXPECT_EQ(r.ae[0], 1.0);
  }
}

TEST(ActiveSet, StepExactlyToABoundAddsIt) {
  Reduced hit(1, 0, 0), miss(1, 0, 0);
  for (Reduced* r : {&hit, &miss}) {
    r->h = {1.0};
    r->g = {-2.0};
  }
  hit.du = {2.0};                   // t = 1
  miss.du = {2.0 * (1.0 + 1e-13)};  // t = 1 + 1e-13
  hit.run(kNormal);
  miss.run(kNormal);
  EXPECT_EQ(hit.ibnd[0], 2);
  EXPECT_EQ(miss.ibnd[0], 0);
  EXPECT_DOUBLE_EQ(miss.d[0], 2.0);
}

TEST(ActiveSet, TiedBoundsPreferTheSteeperThenTheLater) {
  // Newton step d = (2, 4) meets both upper bounds at t = 0.5: the steeper one enters first.
  Reduced steep(2, 0, 0);
  steep.h = {1.0, 0.0, 1.0};
  steep.g = {-2.0, -4.0};
  steep.du = {1.0, 2.0};
  steep.run_limited(kNormal, 1);
  EXPECT_EQ(steep.status, 1);
  EXPECT_EQ(steep.ibnd, (std::vector<int>{0, 2}));
  // d = (2, 2) and bounds (1, 1): equally steep, the later one enters.
  Reduced equal(2, 0, 0);
  equal.h = {1.0, 0.0, 1.0};
  equal.g = {-2.0, -2.0};
  equal.du = {1.0, 1.0};
  equal.run_limited(kNormal, 1);
  EXPECT_EQ(equal.ibnd, (std::vector<int>{0, 2}));
  EXPECT_EQ(equal.d, (Vec{1.0, 1.0}));
}

TEST(ActiveSet, ReliableModeReleasesTheLargestMultiplierFirst) {
  // G = (-1, -3): variable 2 is released first and its Newton step gives D(2) = 3.
  Reduced first(2, 0, 0);
  first.h = {1.0, 0.0, 1.0};
  first.g = {-1.0, -3.0};
  first.run_limited(kReliable, 1);
  EXPECT_EQ(first.d, (Vec{0.0, 3.0}));
  EXPECT_EQ(first.ibnd, (std::vector<int>{3, 0}));
  // A positive multiplier on an artificial constraint counts by its magnitude: G = (3, -1).
  Reduced sign(2, 0, 0);
  sign.h = {1.0, 0.0, 1.0};
  sign.g = {3.0, -1.0};
  sign.run_limited(kReliable, 1);
  EXPECT_EQ(sign.d, (Vec{-3.0, 0.0}));
  // Run to the end: both released, the listing shows 0.
  Reduced full(2, 0, 0);
  full.h = {1.0, 0.0, 1.0};
  full.g = {-1.0, -3.0};
  EXPECT_EQ(full.run(kReliable), count_line(0));
  EXPECT_EQ(full.d, (Vec{1.0, 3.0}));
  EXPECT_EQ(full.ibnd, (std::vector<int>{0, 0}));
}

TEST(ActiveSet, ReliableModeWithZeroGradientHoldsEveryVariable) {
  Reduced r(3, 0, 0);
  r.h = {2.0, 0.5, 0.0, 2.0, 0.5, 2.0};
  EXPECT_EQ(r.run(kReliable), count_line(2));
  EXPECT_EQ(r.d, (Vec{0.0, 0.0, 0.0}));
  EXPECT_EQ(r.ibnd, (std::vector<int>{3, 3, 3}));
  EXPECT_EQ(r.dl, (Vec{0.0, 0.0, 0.0}));
  EXPECT_EQ(r.du, (Vec{0.0, 0.0, 0.0}));
}

TEST(ActiveSet, PassLimitStopsWithADefinedIterate) {
  // A problem that needs several passes, stopped after one: status 1, finite results, AE restored,
  // the listing line still written.
  for (int mode : {kNormal, kReliable}) {
    Reduced r(3, 1, 2);
    r.h = {2.0, 0.3, 0.1, 2.0, 0.2, 2.0};
    r.g = {-4.0, 3.0, -5.0};
    r.ai = {1.0, 1.0, 0.0, -1.0, 0.0, -1.0};
    r.c = {0.5, 1.0};
    r.ae = {0.5, 0.5, 0.5};
    r.el = {-1.0};
    r.eu = {1.0};
    r.run_limited(mode, 1);
    EXPECT_EQ(r.status, 1);
    for (const Vec* v : {&r.d, &r.ui, &r.dl, &r.du, &r.el, &r.eu})
      for (double x : *v) EXPECT_TRUE(std::isfinite(x));
    EXPECT_EQ(r.ae, (Vec{0.5, 0.5, 0.5}));
    // With the standard guard the same problem is solved.
    Reduced full(3, 1, 2);
    full.h = r.h;
    full.g = r.g;
    full.ai = {1.0, 1.0, 0.0, -1.0, 0.0, -1.0};
    full.c = {0.5, 1.0};
    full.ae = {0.5, 0.5, 0.5};
    full.el = {-1.0};
    full.eu = {1.0};
    full.run(mode, -1);
    EXPECT_EQ(full.status, 0);
  }
}

}  // namespace
