// Line search, penalty functions and watchdog (contracts in linesearch.h).
#include "engine/linesearch.h"

#include <algorithm>
#include <cmath>

#include "engine/listing.h"

namespace vek::engine {

double violation(int kind, double c) {
  if (kind < 0) return std::max(c, 0.0);
  if (kind == 0) return std::fabs(c);
  return std::max(-c, 0.0);
}

double updated_weight(double mu, double lambda) {
  const double u = std::fabs(lambda);
  return std::max(u, 0.5 * (mu + u));
}

double first_step_factor(int iter, double step, int N, const double* X, const double* D) {
  if (iter > 3) return 1.0;
  double xx = 0.0;
  double dd = 0.0;
  for (int i = 0; i < N; ++i) {
    xx += X[i] * X[i];
    dd += D[i] * D[i];
  }
  // Early iterations: keep the first step within STEP times the size of the point (at least 10).
  return std::min(1.0, step * std::sqrt(std::max(xx, 100.0) / std::max(dd, 1.0e-5)));
}

double reduced_factor(double alpha, double dphi, double delta_phi) {
  // Minimiser of the quadratic through PHI0 with slope dphi and the rejected value, bounded below.
  return std::max(0.1 * alpha, 0.5 * dphi / (dphi - delta_phi));
}

bool watchdog_applies(const MxiterState& s) {
  return s.ITER > 2 && s.NCALL == s.NCALL0 + 1 && s.PHI0 < s.PHIMIN;
}

bool evaluation_failed(const EngineCall& c) {
  const double c1 = c.C(1);
  if (c1 >= 1.0e30 || !std::isfinite(c1) || !std::isfinite(c.F)) return true;
  for (int j = 2; j <= c.M; ++j) {
    if (!std::isfinite(c.C(j))) return true;
  }
  return false;
}

double penalty_sum(const EngineCall& c) {
  double p = 0.0;
  for (int j = 1; j <= c.M; ++j) p += c.vf.mu(j) * violation(c.KTYPE(j), c.C(j));
  return p;
}

namespace {

// Head, "  F   = " and the weight rows of the primary penalty (the caller checks M and IPRINT).
void list_primary_terms(const EngineCall& c) {
  listing::blank_line();
  listing::text("*** MIRAX, CONTRIBUTIONS TO LINE SEARCH ", "PENALTY FUNCTION :");
  listing::labelled("  F   = ", c.F);
  for (int j = 1; j <= c.M; ++j) {
    const double v = violation(c.KTYPE(j), c.C(j));
    if (v != 0.0) listing::weight_row(j, c.vf.mu(j), v, c.vf.mu(j) * v);
  }
}

void list_secondary_terms(const EngineCall& c, double psi0) {
  listing::blank_line();
  listing::text("*** MIRAX, CONTRIBUTIONS TO SECONDARY LINE ", "SEARCH PENALTY FUNCTION :");
  listing::labelled("  F   = ", c.F);
  for (int j = 1; j <= c.M; ++j) {
    const double t = c.vf.lambda(j) * c.C(j);
    if (t != 0.0) listing::value_row(j, c.vf.lambda(j), c.C(j), -t);
  }
  listing::labelled("  SUM = ", psi0);
}

double secondary_penalty(const EngineCall& c) {
  double s = 0.0;
  for (int j = 1; j <= c.M; ++j) s += c.vf.lambda(j) * c.C(j);
  return c.F - s;
}

bool within_bounds(double x, double xl, double xu) {
  return x >= xl && x <= xu;
}

// The trial-point step: give up when MAXLS evaluations are used, else scale D by ALPHA and request
// F and C at X0 + D. A coordinate whose start lies within its bounds is kept within them, so that
// rounding in X0 + (XU - X0) cannot leave the feasible box.
LineSearch request_trial(const EngineCall& c, MxiterState& s) {
  // Calls used so far against the limit; a difference, so that any MAXLS (even the largest int) is safe.
  if (s.NCALL - s.NCALL0 >= c.MAXLS) {
    for (int i = 1; i <= c.N; ++i) c.X(i) = c.vf.x0(i);
    return LineSearch::exhausted;
  }
  for (int i = 1; i <= c.N; ++i) {
    c.D(i) = s.ALPHA * c.D(i);
    const double x0 = c.vf.x0(i);
    double x = x0 + c.D(i);
    if (within_bounds(x0, c.XL(i), c.XU(i))) x = std::min(std::max(x, c.XL(i)), c.XU(i));
    c.X(i) = x;
  }
  *c.INF = -1;
  s.DPHI = s.ALPHA * s.DPHI;
  return LineSearch::trial_requested;
}

// The watchdog block; true when the relaxed criteria accept the trial point.
bool relaxed_test_holds(const EngineCall& c, const MxiterState& s) {
  const double psi = secondary_penalty(c);
  if (c.listing()) {
    listing::blank_line();
    listing::text("*** MIRAX, WATCHDOG TEST :");
    listing::labelled("  PRIMARY LINE SEARCH PENALTY FUNCTION,   INITIAL = ", s.PHI0);
    listing::labelled("                                          MINIMUM = ", s.PHIMIN);
    listing::labelled("  SECONDARY LINE SEARCH PENALTY FUNCTION, INITIAL = ", s.PSI0);
    listing::labelled("                                          CURRENT = ", psi);
    listing::blank_line();
  }
  const bool holds = psi < s.PSI0;
  if (c.listing()) {
    if (holds) {
      listing::text("*** MIRAX, RELAXED LINE SEARCH CRITERIA ", "SATISFIED, LINE SEARCH STEP ACCEPTED");
    } else {
      listing::text("*** MIRAX, RELAXED LINE SEARCH CRITERIA NOT ", "SATISFIED, LINE SEARCH CONTINUING");
    }
  }
  return holds;
}

LineSearch accept(MxiterState& s) {
  s.PHIMIN = std::min(s.PHIMIN, s.PHI0);  // the record of start points, not of accepted points
  return LineSearch::accepted;
}

}  // namespace

double start_penalties(const EngineCall& c, MxiterState& s) {
  const double p = penalty_sum(c);
  s.PHI0 = c.F + p;
  s.PSI0 = secondary_penalty(c);
  if (c.M > 0 && c.listing()) {
    list_primary_terms(c);
    listing::labelled("  SUM = ", s.PHI0);
    list_secondary_terms(c, s.PSI0);
  }
  return p;
}

LineSearch begin_line_search(const EngineCall& c, MxiterState& s) {
  s.ALPHA = first_step_factor(s.ITER, c.STEP, c.N, c.X.data(), c.D.data());
  return request_trial(c, s);
}

LineSearch continue_line_search(const EngineCall& c, MxiterState& s) {
  s.NCALL += 1;
  if (evaluation_failed(c)) {
    s.ALPHA = 0.25;
    return request_trial(c, s);
  }
  if (c.M > 0 && c.listing()) list_primary_terms(c);
  const double phi = c.F + penalty_sum(c);
  if (c.listing()) {
    listing::labelled("  SUM = ", phi);
    listing::blank_line();
  }
  const double delta_phi = phi - s.PHI0;
  const bool standard = standard_test_holds(delta_phi, s.DPHI);
  if (c.listing()) {
    listing::text("*** MIRAX, STANDARD LINE SEARCH CRITERIA ", standard ? "SATISFIED" : "NOT SATISFIED");
  }
  if (standard) return accept(s);
  if (watchdog_applies(s) && relaxed_test_holds(c, s)) return accept(s);
  s.ALPHA = reduced_factor(s.ALPHA, s.DPHI, delta_phi);
  return request_trial(c, s);
}

}  // namespace vek::engine
