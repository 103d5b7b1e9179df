// Line search: penalty arithmetic, the standard and relaxed (watchdog) tests, the step reduction,
// MAXLS and failed evaluations, and the first-step rule.
#include "engine/linesearch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/engine_call.h"
#include "engine/problems.h"
#include "support/listing_capture.h"

namespace {

using vek::engine::EngineCall;
using vek::engine::LineSearch;
using vek::engine::MxiterState;

// One engine call's worth of arrays for N = 1, M = 1 (kind -1), wired into an EngineCall, with a
// line search in progress: X0 = 0, D = 1, PHI0 = 0, DPHI = -1, ALPHA = 1, first trial pending.
struct LineSearchCase {
  std::vector<int> kind = {-1};
  std::vector<double> x = {1.0}, g = {0.0}, c = {0.0}, a = {0.0, 0.0}, vf, xl = {-10.0}, xu = {10.0},
                      d = {1.0, 1.0}, cvg = {0.0, 0.0};
  int inf = -1;
  EngineCall call;
  MxiterState s;

  explicit LineSearchCase(int iprint = 0) {
    vf.assign(vek::engine::mirax_min_lwvf(1, 1), 0.0);
    call.N = 1;
    call.M = 1;
    call.KTYPE = vek::qp::Vec1<int>(kind.data(), 1);
    call.X = vek::qp::Vec1<double>(x.data(), 1);
    call.G = vek::qp::Vec1<const double>(g.data(), 1);
    call.C = vek::qp::Vec1<double>(c.data(), 1);
    call.A = vek::qp::Mat1<double>(a.data(), 2);
    call.LCN = 2;
    call.MAXIT = 100;
    call.IPRINT = iprint;
    call.INF = &inf;
    vek::engine::vf_segments(1, 1, vf.data(), static_cast<int>(vf.size()), call.vf);
    call.XL = vek::qp::Vec1<const double>(xl.data(), 1);
    call.XU = vek::qp::Vec1<const double>(xu.data(), 1);
    call.D = vek::qp::Vec1<double>(d.data(), 2);
    call.CVG = cvg.data();
    call.MAXLS = 10;
    call.vf.x0(1) = 0.0;
    call.vf.mu(1) = 1.0;
    call.vf.lambda(1) = -1.0;
    s.ITER = 1;
    s.NCALL = 1;
    s.NCALL0 = 1;
    s.PHIMIN = 1.0e30;
    s.PHI0 = 0.0;
    s.PSI0 = 0.0;
    s.DPHI = -1.0;
    s.ALPHA = 1.0;
  }
  // Supply F and C at the trial point and resume.
  LineSearch reenter(double f, double c1) {
    call.F = f;
    c[0] = c1;
    return vek::engine::continue_line_search(call, s);
  }
};

TEST(Penalty, ViolationsAndSums) {
  EXPECT_EQ(vek::engine::violation(-1, 2.0), 2.0);
  EXPECT_EQ(vek::engine::violation(-1, -2.0), 0.0);
  EXPECT_EQ(vek::engine::violation(0, -2.0), 2.0);
  EXPECT_EQ(vek::engine::violation(1, -2.0), 2.0);
  EXPECT_EQ(vek::engine::violation(1, 2.0), 0.0);
  // Weights: cold start gives |lambda|; later they follow max(|lambda|, (mu + |lambda|)/2).
  EXPECT_EQ(vek::engine::updated_weight(0.0, -3.0), 3.0);
  EXPECT_EQ(vek::engine::updated_weight(10.0, 2.0), 6.0);
  EXPECT_EQ(vek::engine::updated_weight(1.0, 2.0), 2.0);
}

TEST(LineSearchArithmetic, StandardTestPassesAtEquality) {
  EXPECT_TRUE(vek::engine::standard_test_holds(-0.1, -1.0));
  EXPECT_FALSE(vek::engine::standard_test_holds(std::nextafter(-0.1, 0.0), -1.0));
  // The same through a re-entry: PHI0 = 0, DPHI = -1, Phi = -0.1 (no violation).
  LineSearchCase t;
  std::string text =
      talvir_test::capture_listing([&] { EXPECT_EQ(t.reenter(-0.1, -1.0), LineSearch::accepted); });
  EXPECT_NE(text.find(" *** MIRAX, STANDARD LINE SEARCH CRITERIA SATISFIED\n"), std::string::npos);
  EXPECT_EQ(t.s.PHIMIN, 0.0);  // the record takes PHI0, the start point's penalty
  LineSearchCase u;
  text = talvir_test::capture_listing(
      [&] { EXPECT_EQ(u.reenter(std::nextafter(-0.1, 0.0), -1.0), LineSearch::trial_requested); });
  EXPECT_NE(text.find(" *** MIRAX, STANDARD LINE SEARCH CRITERIA NOT SATISFIED\n"), std::string::npos);
}

TEST(LineSearchArithmetic, ReductionByQuadraticInterpolationWithTenthFloor) {
  // Previous factor 1, DPHI = -1, rise 10: the quadratic gives 1/22, the floor 0.1 wins.
  EXPECT_DOUBLE_EQ(vek::engine::reduced_factor(1.0, -1.0, 10.0), 0.1);
  EXPECT_DOUBLE_EQ(vek::engine::reduced_factor(1.0, -1.0, 1.0), 0.25);
  // The floor is a tenth of the previous factor, not a fixed 0.1.
  EXPECT_DOUBLE_EQ(vek::engine::reduced_factor(0.25, -1.0, 100.0), 0.025);
  LineSearchCase t(-1);
  EXPECT_EQ(t.reenter(10.0, -1.0), LineSearch::trial_requested);
  EXPECT_DOUBLE_EQ(t.s.ALPHA, 0.1);
  EXPECT_DOUBLE_EQ(t.d[0], 0.1);  // D rescaled in place
  EXPECT_DOUBLE_EQ(t.x[0], 0.1);  // X = X0 + D
  EXPECT_DOUBLE_EQ(t.s.DPHI, -0.1);
  EXPECT_EQ(t.s.NCALL, 2);
  EXPECT_EQ(t.inf, -1);
}

TEST(LineSearchArithmetic, ConstraintViolationEntersThePenalty) {
  // F = -1 with C = 2 > 0 on a "<= 0" constraint of weight 1: Phi = 1, a rise, rejected.
  LineSearchCase t(-1);
  EXPECT_EQ(t.reenter(-1.0, 2.0), LineSearch::trial_requested);
  EXPECT_DOUBLE_EQ(t.s.ALPHA, std::max(0.1, 0.5 * -1.0 / (-1.0 - 1.0)));
}

// The watchdog's conditions, each at its edge. All cases fail the standard test (Phi = 1 > PHI0).
struct WatchdogCase {
  const char* name;
  int iter;
  int trials_before;  // evaluations already used in this line search
  double phimin;
  double psi;  // secondary penalty at the trial point: F - lambda C with lambda = -1, C = -1
  bool accepted;
  bool block_written;
};

TEST(Watchdog, StrictConditionsFirstTrialOnlyAfterIterationTwo) {
  const WatchdogCase cases[] = {
      {"applies and passes", 3, 0, 5.0, 0.0, true, true},
      {"secondary equal to initial", 3, 0, 5.0, 1.0, false, true},
      {"iteration 2", 2, 0, 5.0, 0.0, false, false},
      {"PHI0 equal to PHIMIN", 3, 0, 0.0, 0.0, false, false},
      {"second trial", 3, 1, 5.0, 0.0, false, false},
  };
  for (const WatchdogCase& w : cases) {
    SCOPED_TRACE(w.name);
    LineSearchCase t;
    t.s.ITER = w.iter;
    t.s.NCALL = t.s.NCALL0 + w.trials_before;
    t.s.PHIMIN = w.phimin;
    t.s.PSI0 = 1.0;
    // With lambda = -1 and C = -1, psi = F - 1: F = psi + 1 gives the wanted psi, and Phi = F >= 1.
    std::string text;
    LineSearch r = LineSearch::trial_requested;
    text = talvir_test::capture_listing([&] { r = t.reenter(w.psi + 1.0, -1.0); });
    EXPECT_EQ(r == LineSearch::accepted, w.accepted);
    EXPECT_EQ(text.find("WATCHDOG TEST") != std::string::npos, w.block_written);
    if (w.block_written) {
      const std::string verdict =
          w.accepted ? " *** MIRAX, RELAXED LINE SEARCH CRITERIA SATISFIED, LINE SEARCH STEP ACCEPTED\n"
                     : " *** MIRAX, RELAXED LINE SEARCH CRITERIA NOT SATISFIED, LINE SEARCH CONTINUING\n";
      EXPECT_NE(text.find(verdict), std::string::npos);
      EXPECT_NE(text.find("   PRIMARY LINE SEARCH PENALTY FUNCTION,   INITIAL = 0.000000000E+00\n"),
                std::string::npos);
      EXPECT_NE(text.find("                                           MINIMUM = 5.000000000E+00\n"),
                std::string::npos);
    }
  }
}

TEST(LineSearchLimits, FailedEvaluationsCutTheStepToAQuarterUntilMaxls) {
  // C(1) = 1e30 at every trial with MAXLS = 5: five evaluations, then INF = 3 on the fifth re-entry.
  LineSearchCase t;
  t.call.MAXLS = 5;
  int reentries = 0;
  LineSearch r = LineSearch::trial_requested;
  const std::string text = talvir_test::capture_listing([&] {
    while (r == LineSearch::trial_requested && reentries < 20) {
      r = t.reenter(0.0, 1.0e30);
      ++reentries;
    }
  });
  EXPECT_EQ(r, LineSearch::exhausted);
  EXPECT_EQ(reentries, 5);
  EXPECT_DOUBLE_EQ(t.d[0], std::pow(0.25, 4));  // four trials after the first, each a quarter
  EXPECT_EQ(t.x[0], 0.0);                       // back at X0
  EXPECT_EQ(text, "");                          // failed evaluations list nothing
}

TEST(LineSearchLimits, NonFiniteValuesAreFailedEvaluations) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    double f, c1, c2;
  };
  const Case cases[] = {{"NaN objective", nan, -1, 0},
                        {"infinite objective", -inf, -1, 0},
                        {"NaN C(1)", 0, nan, 0},
                        {"NaN C(2)", 0, -1, nan},
                        {"-Inf C(1)", 0, -inf, 0}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    LineSearchCase t(-1);
    t.kind = {-1, -1};
    t.c = {0.0, k.c2};
    t.vf.assign(vek::engine::mirax_min_lwvf(1, 2), 0.0);
    vek::engine::vf_segments(1, 2, t.vf.data(), static_cast<int>(t.vf.size()), t.call.vf);
    t.call.M = 2;
    t.call.KTYPE = vek::qp::Vec1<int>(t.kind.data(), 2);
    t.call.C = vek::qp::Vec1<double>(t.c.data(), 2);
    t.call.vf.x0(1) = 0.0;
    EXPECT_EQ(t.reenter(k.f, k.c1), LineSearch::trial_requested);
    EXPECT_EQ(t.s.ALPHA, 0.25);
    EXPECT_EQ(t.d[0], 0.25);
    EXPECT_TRUE(std::isfinite(t.s.DPHI));
  }
}

TEST(LineSearchLimits, MaxlsZeroEndsBeforeAnyTrial) {
  engine_test::Settings s;
  s.maxls = 0;
  s.iprint = 0;
  engine_test::MiraxRun run(engine_test::quadratic_with_inequality(), s);
  const std::string text = talvir_test::capture_listing([&] { run.call(); });
  EXPECT_EQ(run.inf, 3);
  EXPECT_EQ(run.x, (std::vector<double>{0.0, 0.0}));
  EXPECT_NE(text.find("\n     RETURN FROM MIRAX  BECAUSE LINE SEARCH REQUIRES  0 CALLS OF MIRAX \n"),
            std::string::npos);
}

TEST(LineSearchLimits, LargestMaxlsIsNoLimitInPractice) {
  // MAXLS at the top of the int range: the line search goes on asking for trial points.
  LineSearchCase t(-1);
  t.call.MAXLS = std::numeric_limits<int>::max();
  t.s.ITER = 5;
  EXPECT_EQ(vek::engine::begin_line_search(t.call, t.s), LineSearch::trial_requested);
  EXPECT_EQ(t.reenter(0.0, 1.0e30), LineSearch::trial_requested);
  EXPECT_EQ(t.inf, -1);
  EXPECT_EQ(t.d[0], 0.25);
}

TEST(LineSearchLimits, MZeroNaNObjectiveIsRetriedNotComputedWith) {
  // Without constraints C(1) carries no signal; a NaN objective must still cut the step.
  engine_test::Nlp p = engine_test::bounded_rosenbrock();
  engine_test::Settings s;
  engine_test::MiraxRun run(p, s);
  int poisoned = 0;
  run.after_values = [&](engine_test::MiraxRun& r) {
    if (r.inf == -1 && poisoned < 2) {
      r.fx = std::numeric_limits<double>::quiet_NaN();
      ++poisoned;
    }
  };
  EXPECT_EQ(run.solve(), 1);
  EXPECT_EQ(poisoned, 2);
  EXPECT_NEAR(run.x[0], 0.5, 1e-7);
  EXPECT_NEAR(run.fx, 0.25, 1e-8);
}

TEST(FirstStep, RuleOfIterationsOneToThree) {
  const double x0[2] = {0.0, 0.0};
  const double d_small[2] = {2.0, 0.0};   // |d|^2 = 4
  const double d_large[2] = {20.0, 0.0};  // |d|^2 = 400
  EXPECT_DOUBLE_EQ(vek::engine::first_step_factor(2, 0.5, 2, x0, d_small), 1.0);
  EXPECT_DOUBLE_EQ(vek::engine::first_step_factor(2, 0.5, 2, x0, d_large), 0.25);
  EXPECT_DOUBLE_EQ(vek::engine::first_step_factor(3, 0.5, 2, x0, d_large), 0.25);
  EXPECT_DOUBLE_EQ(vek::engine::first_step_factor(4, 0.5, 2, x0, d_large), 1.0);
  // A large point allows a proportionally larger step: |x|^2 = 400 replaces the floor 100.
  const double x_big[2] = {0.0, 20.0};
  EXPECT_DOUBLE_EQ(vek::engine::first_step_factor(1, 0.5, 2, x_big, d_large), 0.5);
}

TEST(FirstStep, TrialPointOfABeginningLineSearch) {
  LineSearchCase t;
  t.s.ITER = 2;
  t.x = {0.0};
  t.d = {20.0, 1.0};  // |d|^2 = 400 with STEP 0.5 -> factor 0.5 sqrt(100/400) = 0.25
  t.call.STEP = 0.5;
  t.s.DPHI = -8.0;
  EXPECT_EQ(vek::engine::begin_line_search(t.call, t.s), LineSearch::trial_requested);
  EXPECT_DOUBLE_EQ(t.d[0], 5.0);
  EXPECT_DOUBLE_EQ(t.x[0], 5.0);
  EXPECT_DOUBLE_EQ(t.s.DPHI, -2.0);
  EXPECT_EQ(t.d[1], 1.0);  // the relaxation variable is never rescaled
  EXPECT_EQ(t.inf, -1);
}

TEST(FirstStep, TrialPointStaysWithinTheBoundsItStartedIn) {
  // X0 + (XU - X0) can round past XU; a coordinate that started inside stays inside.
  LineSearchCase t;
  t.s.ITER = 5;
  const double x0 = -0.5424755574590947, xu = 2.835812086661767;
  t.call.vf.x0(1) = x0;
  t.x = {x0};
  t.xu = {xu};
  t.d = {xu - x0, 1.0};
  ASSERT_GT(x0 + (xu - x0), xu);  // the rounding this guards against
  vek::engine::begin_line_search(t.call, t.s);
  EXPECT_EQ(t.x[0], xu);
}

}  // namespace
