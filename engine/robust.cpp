// The robust strategy (contract in robust.h).
#include "engine/robust.h"

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

}  // namespace vek::engine
