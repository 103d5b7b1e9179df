// The robust strategy: where the documented method would end without a solution, it carries on. Until
// then it changes nothing: every iterate, evaluation and listing line is the faithful strategy's.
//
// Recovery (endings 3 and 4, a line search that found no acceptable step or an uphill direction): B is
// restarted (restart_hessian) and the iteration begins again at the point where the trouble began. Up to
// kRestartsPerIteration times per iteration, each with kRestartGrowth times the previous curvature;
// then the solution ends as documented. An accepted step makes the limits apply afresh.
//
//   robust_action(c, s, code)   what to do instead of ending with `code` (the faithful strategy and
//                               every other code: RobustAction::end). Restarts B and lists the restart
//                               when it returns another action.
#pragma once

#include "engine/MxiterState.h"
#include "engine/engine_call.h"

namespace vek::engine {

inline constexpr int kRestartsPerIteration = 3;
inline constexpr double kRestartGrowth = 100.0;

enum class RobustAction {
  end,             // end the solution with the code, as documented
  restart_now,     // B restarted: begin the iteration again at X with the F, C, G, A in hand
  evaluate_first,  // B restarted, X back at the line search's start: F and C are needed there first
};

RobustAction robust_action(const EngineCall& c, MxiterState& s, int code);

}  // namespace vek::engine
