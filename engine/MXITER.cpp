// MXITER: the SQP iteration as a resumable state machine (contract in MXITER.h).
//
// Each call resumes at one of three points: start a solution (INF = 0), continue the line search
// (INF = -1) or update the Hessian and start the next iteration (INF = -2).
#include "engine/MXITER.h"

#include <cmath>

#include "engine/MIRAX.h"
#include "engine/MIRAX2.h"
#include "engine/elastic.h"
#include "engine/feasibility.h"
#include "engine/hessian.h"
#include "engine/linesearch.h"
#include "engine/listing.h"
#include "engine/robust.h"
#include "engine/stationarity.h"
#include "qp/cancellation.h"

namespace vek::engine {
namespace {

constexpr double kUnboundedLevel = 1.0e20;

bool all_finite(int n, const double* v) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(v[i])) return false;
  }
  return true;
}

bool gradients_finite(const EngineCall& c) {
  for (int j = 1; j <= c.M; ++j) {
    if (!all_finite(c.N, c.A.column(j).data())) return false;
  }
  return true;
}

bool point_within_bounds(const EngineCall& c) {
  for (int i = 1; i <= c.N; ++i) {
    if (!(c.X(i) >= c.XL(i) && c.X(i) <= c.XU(i))) return false;
  }
  return true;
}

// Ends the solution with code 8 and the non-finite-value message.
void stop_non_finite(const EngineCall& c, const MxiterState& s, const char* what) {
  if (c.listing()) listing::non_finite(what, s.ITER);
  *c.INF = 8;
}

// Values at the start point must be finite: there is no step to cut.
bool start_values_finite(const EngineCall& c, const MxiterState& s) {
  const char* bad = nullptr;
  if (!all_finite(c.N, c.X.data())) {
    bad = "X";
  } else if (!std::isfinite(c.F)) {
    bad = "F";
  } else if (!all_finite(c.N, c.G.data())) {
    bad = "G";
  } else if (!all_finite(c.M, c.C.data())) {
    bad = "C";
  } else if (!gradients_finite(c)) {
    bad = "A";
  }
  if (bad != nullptr) stop_non_finite(c, s, bad);
  return bad == nullptr;
}

// A warm start is honoured only when a solution of this record initialised B in this very VF (or the
// caller declared it filled), for the same N and M, and the leading diagonal of B is still positive
// and finite. Otherwise B would be whatever VF holds (zeros in a fresh workspace: no curvature at all).
bool warm_start_usable(const EngineCall& c, const MxiterState& s) {
  if (!is_warm_start(c.D(c.N + 1))) return false;
  const HessianOwner& h = s.hessian;
  if (h.B != c.vf.B.data() || h.N != c.N || h.M != c.M) return false;
  for (int i = 1; i <= c.N; ++i) {
    const double b = c.vf.B(i, i);
    if (!(b > 0.0 && std::isfinite(b))) return false;
  }
  return true;
}

// Bounds must be numbers with XL <= XU; on a cold start every scale must be non-zero and finite
// (B(i,i) = h / D(i)^2) and the Hessian control a number.
bool bounds_and_scales_legal(const EngineCall& c, bool warm) {
  for (int i = 1; i <= c.N; ++i) {
    if (!(c.XL(i) <= c.XU(i))) {
      if (c.listing()) listing::illegal_bounds(i, c.XL(i), c.XU(i));
      *c.INF = 8;
      return false;
    }
  }
  if (warm) return true;
  for (int i = 1; i <= c.N + 1; ++i) {
    const double d = c.D(i);
    if (!std::isfinite(d) || (i <= c.N && d == 0.0)) {
      if (c.listing()) listing::illegal_scale(i, d);
      *c.INF = 8;
      return false;
    }
  }
  return true;
}

void start_iteration(const EngineCall& c, MxiterState& s);

// The end of a solution with code 1, 2, 3, 4 or 6: its message, then the final block. The robust
// strategy may carry on instead (robust.h).
void finish(const EngineCall& c, MxiterState& s, int code) {
  if ((code == 3 || code == 4) && robust_diverging(c, s)) {
    s.unbounded = true;
    code = 6;
  } else if ((code == 3 || code == 4) && robust_infeasible_stationary(c, s)) {
    s.robust.locally_infeasible = true;
    code = 6;
  }
  switch (robust_action(c, s, code)) {
    case RobustAction::end:
      break;
    case RobustAction::restart_now:
      return start_iteration(c, s);
    case RobustAction::evaluate_first:
      s.robust.awaiting_values = true;
      *c.INF = -1;
      return;
  }
  *c.INF = code;
  if (c.listing() && code == 6 && s.unbounded) {
    listing::unbounded_message(s.ITER);
  } else if (c.listing() && code == 6 && s.robust.locally_infeasible) {
    listing::locally_infeasible_message(s.ITER);
  } else if (c.listing()) {
    listing::ending_message(code, s.ITER, c.MAXLS);
  }
  if (c.IPRINT > 0) {
    MXPRNT(s.ITER, s.NCALL, c.N, c.M, c.X.data(), c.F, c.C.data(), c.vf.lambda.data(), c.IPRINT);
    listing::final_block_note();
  }
}

// Convergence sum S = |G.d| + sum |lambda_j C(j)|, with the rows of the listing. On the way: saves
// X0, forms the Lagrangian gradient at X0 and updates the penalty weights. Returns S, sets gdot.
double convergence_sum(const EngineCall& c, double& gdot) {
  if (c.listing()) {
    listing::blank_line();
    listing::text("*** MIRAX, CONTRIBUTIONS TO CONVERGENCE SUM :");
  }
  gdot = 0.0;
  for (int i = 1; i <= c.N; ++i) {
    c.vf.x0(i) = c.X(i);
    const double t = c.G(i) * c.D(i);
    gdot += t;
    if (c.listing()) listing::variable_row(i, c.G(i), c.D(i), t);
  }
  const qp::Mat1<const double> a(c.A.data(), c.A.ld());
  lagrangian_gradient(c.N, c.M, c.G.data(), a, c.vf.lambda.data(), c.vf.glag0.data());
  double sum = std::fabs(gdot);
  for (int j = 1; j <= c.M; ++j) {
    const double u = c.vf.lambda(j);
    c.vf.mu(j) = updated_weight(c.vf.mu(j), u);
    const double t = u * c.C(j);
    sum += std::fabs(t);
    if (c.listing() && u != 0.0 && c.C(j) != 0.0) listing::multiplier_row(j, u, c.C(j), t);
  }
  if (c.listing()) listing::labelled("  SUM = ", sum);
  return sum;
}

// From the accepted step: ask for gradients, or stop at the iteration limit.
void after_acceptance(const EngineCall& c, MxiterState& s) {
  if (s.ITER < c.MAXIT) {
    *c.INF = -2;
  } else {
    finish(c, s, 2);
  }
}

void on_line_search(const EngineCall& c, MxiterState& s, LineSearch outcome) {
  switch (outcome) {
    case LineSearch::trial_requested:
      break;  // INF = -1 is set
    case LineSearch::accepted:
      after_acceptance(c, s);
      break;
    case LineSearch::exhausted:
      finish(c, s, 3);
      break;
  }
}

// The robust strategy's escape step (robust.h): its point is asked for and then taken as it is.
void request_escape_point(const EngineCall& c, MxiterState& s) {
  for (int i = 1; i <= c.N; ++i) c.X(i) = c.vf.x0(i) + c.D(i);
  s.robust.escaping = true;
  *c.INF = -1;
}

// The values at the escape point: the step is accepted unless they cannot be evaluated.
void take_escape_point(const EngineCall& c, MxiterState& s) {
  s.robust.escaping = false;
  s.NCALL += 1;
  if (evaluation_failed(c)) {
    for (int i = 1; i <= c.N; ++i) c.X(i) = c.vf.x0(i);
    s.robust.locally_infeasible = true;
    return finish(c, s, 6);
  }
  after_acceptance(c, s);
}

// An elastic step's line search weighs every violation at least by the elastic weight, so that the
// step descends on the penalty function (elastic.h).
void raise_weights(const EngineCall& c, double weight) {
  for (int j = 1; j <= c.M; ++j) c.vf.mu(j) = std::max(c.vf.mu(j), weight);
}

// The convergence sum passed at a point that is not stationary: B restarted, the iteration begun again.
void restart_at_non_stationary_point(const EngineCall& c, MxiterState& s) {
  if (c.listing()) {
    listing::blank_line();
    listing::text("*** MIRAX, CONVERGENCE SUM SATISFIED, ", "POINT NOT STATIONARY : HESSIAN RESTARTED");
    listing::labelled("  STATIONARITY = ", stationarity_ratio(c, stationarity_floor(s)));
  }
  s.restarted_at = s.ITER;
  restart_hessian(c.N, c.F, c.G.data(), c.vf.B);
  start_iteration(c, s);
}

// The point of an iteration after the first shows an unbounded problem: a variable at or beyond the
// 1e20 that stands for "no bound", or the objective at or below -1e20.
bool unbounded_point(const EngineCall& c, const MxiterState& s) {
  if (s.ITER <= 1) return false;
  if (c.F <= -kUnboundedLevel) return true;
  for (int i = 1; i <= c.N; ++i) {
    if (std::fabs(c.X(i)) >= kUnboundedLevel) return true;
  }
  return false;
}

// A cancellation seen by the subproblem (or after it) ends the engine call at the current point.
bool cancelled(const EngineCall& c) {
  if (!qp::cancellation_requested()) return false;
  *c.INF = kInfCancelled;
  return true;
}

// "Start iteration": QP subproblem, convergence test, penalties, uphill test, first trial point.
void start_iteration(const EngineCall& c, MxiterState& s) {
  if (unbounded_point(c, s)) {
    s.unbounded = true;
    return finish(c, s, 6);
  }
  int qpfail = 0;
  MIRAX2(c.N, c.M, c.ME, c.KTYPE.data(), c.G.data(), c.C.data(), c.A.data(), c.LCN, *c.INF, c.N + 1,
         c.vf.lambda.data(), c.vf.B.data(), c.D.data(), c.WQP, c.LWQP, c.X.data(), c.XL.data(), c.XU.data(),
         c.MODE, qpfail, c.IPRINT);
  int setup = *c.INF;
  if (cancelled(c)) return;
  const RobustStep robust = robust_subproblem(c, s, qpfail, setup);
  if (cancelled(c)) return;
  if (qpfail != 0 && robust_diverging(c, s)) {
    s.unbounded = true;
    return finish(c, s, 6);
  }
  if (qpfail != 0) {
    *c.INF = 10;
    return;
  }
  if (s.ITER == s.NPRINT) {
    MXPRNT(s.ITER, s.NCALL, c.N, c.M, c.X.data(), c.F, c.C.data(), c.vf.lambda.data(), c.IPRINT);
    s.NPRINT = s.ITER + c.IPRINT;
  }
  s.NCALL0 = s.NCALL;
  double gdot = 0.0;
  const double sum = convergence_sum(c, gdot);
  c.CVG[0] = sum;
  c.CVG[1] = c.ACC * std::max(std::fabs(c.F), 1.0);
  // Converged: the sum passes, X lies within its bounds (a start outside them never counts), the
  // linearisation was consistent (set-up code 0) and every constraint is met within its tolerance.
  // Otherwise the iteration goes on.
  // ... and the point is stationary (stationarity.h): at a point that is not, B is restarted once per
  // iteration and the subproblem solved again; a second time the iteration simply goes on.
  if (sum <= c.CVG[1] && point_within_bounds(c) && constraints_met(c, c.listing()) && setup == 0) {
    if (point_stationary(c, stationarity_floor(s))) return finish(c, s, 1);
    if (s.restarted_at != s.ITER) return restart_at_non_stationary_point(c, s);
  }
  if (robust.weight > 0.0) raise_weights(c, robust.weight);
  const double p = start_penalties(c, s);
  if (setup > 1) return finish(c, s, 6);
  if (robust.escape) return request_escape_point(c, s);
  if (robust.weight > 0.0) c.D(c.N + 1) = elastic_xi(c, p);
  s.DPHI = gdot - p * c.D(c.N + 1);
  if (!(s.DPHI < 0.0)) {
    listing::uphill_block(s.PHI0, c.F, p, gdot, s.DPHI, c.N, c.D.data());
    return finish(c, s, 4);
  }
  on_line_search(c, s, begin_line_search(c, s));
}

// "Start solution": reset the record, check the start values, initialise B and the weights. A warm
// start that cannot be honoured (warm_start_usable) is a cold start with the Hessian control 0.
bool start_solution(const EngineCall& c, MxiterState& s) {
  const HessianOwner kept = s.hessian;
  const Strategy strategy = s.strategy;
  s = MxiterState{};
  s.hessian = kept;
  s.strategy = strategy;
  s.robust.start_f = c.F;
  s.robust.start_size = largest_magnitude(c.X.data(), c.N);
  s.robust.start_gradient = largest_magnitude(c.G.data(), c.N);
  s.NCALL = 1;
  s.ITER = 1;
  s.PHIMIN = 1.0e30;
  s.NPRINT = c.IPRINT > 0 ? c.IPRINT : 1;
  const bool warm = warm_start_usable(c, s);
  if (!start_values_finite(c, s) || !bounds_and_scales_legal(c, warm)) return false;
  if (!warm) {
    const double h0 = is_warm_start(c.D(c.N + 1)) ? 0.0 : c.D(c.N + 1);
    initialise_hessian(c.N, c.M, h0, c.F, c.G.data(), c.D.data(), c.vf.B, c.vf.mu.data());
    s.hessian = HessianOwner{c.vf.B.data(), c.N, c.M};
  }
  return true;
}

// "Update Hessian": count the iteration and update B with the accepted step.
bool update_hessian(const EngineCall& c, MxiterState& s) {
  s.ITER += 1;
  if (!all_finite(c.N, c.G.data())) {
    stop_non_finite(c, s, "G");
    return false;
  }
  if (!gradients_finite(c)) {
    stop_non_finite(c, s, "A");
    return false;
  }
  const qp::Mat1<const double> a(c.A.data(), c.A.ld());
  lagrangian_gradient(c.N, c.M, c.G.data(), a, c.vf.lambda.data(), c.vf.glag_new.data());
  damped_bfgs_update(c.N, c.vf.B, c.D.data(), c.vf.glag_new.data(), c.vf.glag0.data(), c.vf.x0.data());
  return true;
}

// "Restart iteration": F and C at the point the robust strategy went back to; a point that cannot be
// evaluated now ends the solution with the ending that was given up.
void restart_iteration(const EngineCall& c, MxiterState& s) {
  s.robust.awaiting_values = false;
  s.NCALL += 1;
  if (evaluation_failed(c)) {
    s.robust.restarts_here = kRestartsPerIteration;  // no further restart
    return finish(c, s, s.robust.pending_code);
  }
  start_iteration(c, s);
}

Resume resume_point_after(int inf, const MxiterState& s) {
  if (inf == -1 && s.robust.awaiting_values) return Resume::restart_iteration;
  if (inf == -1) return Resume::continue_line_search;
  if (inf == -2) return Resume::update_hessian;
  return Resume::start_solution;
}

}  // namespace

void MXITER(const EngineCall& c, MxiterState& s) {
  const Resume entry = *c.INF == 0 ? Resume::start_solution : s.resume;
  switch (entry) {
    case Resume::start_solution:
      if (start_solution(c, s)) start_iteration(c, s);
      break;
    case Resume::continue_line_search:
      if (s.robust.escaping) {
        take_escape_point(c, s);
      } else {
        on_line_search(c, s, continue_line_search(c, s));
      }
      break;
    case Resume::update_hessian:
      if (update_hessian(c, s)) start_iteration(c, s);
      break;
    case Resume::restart_iteration:
      restart_iteration(c, s);
      break;
  }
  s.resume = resume_point_after(*c.INF, s);
}

}  // namespace vek::engine
