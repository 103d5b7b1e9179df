// The robust strategy (contract in robust.h).
#include "engine/robust.h"

#include <algorithm>
#include <cmath>

#include "engine/elastic.h"
#include "engine/feasibility.h"
#include "engine/hessian.h"
#include "engine/listing.h"

namespace vek::engine {

RobustAction robust_action(const EngineCall& c, MxiterState& s, int code) {
  if (s.strategy != Strategy::robust || (code != 3 && code != 4)) return RobustAction::end;
  RobustState& r = s.robust;
  if (r.recovered_at != s.ITER) r.restarts_here = 0;
  if (r.restarts_here >= kRestartsPerIteration) return RobustAction::end;
  r.recovered_at = s.ITER;
  r.restarts_here += 1;
  r.recoveries += 1;
  r.pending_code = code;
  if (c.listing()) {
    listing::blank_line();
    listing::text(code == 3 ? "*** MIRAX, LINE SEARCH FAILED" : "*** MIRAX, SEARCH DIRECTION UPHILL",
                  " : HESSIAN RESTARTED (ROBUST STRATEGY)");
  }
  // Each further restart in the same iteration takes a hundred times the curvature: the steps of the
  // previous B were too long for the penalty function to accept.
  restart_hessian(c.N, c.F, c.G.data(), c.vf.B);
  double factor = 1.0;
  for (int k = 1; k < r.restarts_here; ++k) factor *= kRestartGrowth;
  for (int i = 1; i <= c.N; ++i) c.vf.B(i, i) *= factor;
  // An exhausted line search left X at its start with F and C of the last trial.
  return code == 3 ? RobustAction::evaluate_first : RobustAction::restart_now;
}

namespace {

// The escape step into D: each coordinate a tenth of max(1, |X(i)|) towards its wider side, within
// the bounds.
void escape_step(const EngineCall& c) {
  for (int i = 1; i <= c.N; ++i) {
    const double length = kEscapeLength * std::max(1.0, std::fabs(c.X(i)));
    const double up = c.XU(i) - c.X(i), down = c.X(i) - c.XL(i);
    c.D(i) = up >= down ? std::min(length, std::max(up, 0.0)) : -std::min(length, std::max(down, 0.0));
  }
  c.D(c.N + 1) = 1.0;
  for (int j = 1; j <= c.M; ++j) c.vf.lambda(j) = 0.0;
}

}  // namespace

bool robust_infeasible_stationary(const EngineCall& c, const MxiterState& s) {
  const RobustState& r = s.robust;
  if (s.strategy != Strategy::robust || r.elastic_at != s.ITER) return false;
  if (!(r.elastic_theta0 > feasibility_factor(c.ACC))) return false;
  return r.elastic_theta0 - r.elastic_theta1 <= kInfeasibleReduction * r.elastic_theta0;
}

double stationarity_floor(const MxiterState& s) {
  if (s.strategy != Strategy::robust) return 1.0;
  const double g0 = s.robust.start_gradient;
  return g0 > 0.0 && g0 < 1.0 ? g0 : 1.0;
}

bool robust_diverging(const EngineCall& c, const MxiterState& s) {
  if (s.strategy != Strategy::robust) return false;
  const RobustState& r = s.robust;
  if (c.F < r.start_f - kDivergence * std::max(1.0, std::fabs(r.start_f))) return true;
  const double limit = kDivergence * std::max(1.0, r.start_size);
  for (int i = 1; i <= c.N; ++i) {
    if (std::fabs(c.X(i)) > limit) return true;
  }
  return false;
}

RobustStep robust_subproblem(const EngineCall& c, MxiterState& s, int& qpfail, int& setup) {
  RobustStep step;
  if (s.strategy != Strategy::robust || (qpfail == 0 && setup <= 1)) return step;
  double rho = 0.0, theta0 = 0.0, theta1 = 0.0;
  const ElasticResult result = elastic_step(c, s, rho, theta0, theta1);
  if (result == ElasticResult::unavailable) return step;
  s.robust.elastic_at = s.ITER;
  s.robust.elastic_theta0 = theta0;
  s.robust.elastic_theta1 = theta1;
  qpfail = 0;
  setup = result == ElasticResult::consistent ? 0 : 1;
  s.robust.elastic_steps += 1;
  if (result == ElasticResult::consistent) c.D(c.N + 1) = 1.0;
  if (result == ElasticResult::elastic) step.weight = rho;
  if (result != ElasticResult::locally_infeasible) return step;
  if (s.robust.escapes < kEscapes) {
    s.robust.escapes += 1;
    escape_step(c);
    if (c.listing())
      listing::text("*** MIRAX, NO STEP REDUCES THE VIOLATION : ESCAPE STEP (ROBUST STRATEGY)");
    step.escape = true;
    return step;
  }
  setup = 6;
  s.robust.locally_infeasible = true;
  return step;
}

}  // namespace vek::engine
