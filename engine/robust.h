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

// Elastic steps (elastic.h): after the normal subproblem, when the robust strategy is on and the QP
// failed (qpfail != 0) or found the linearisation inconsistent (setup > 1), the elastic subproblem
// replaces the step. Then qpfail becomes 0 and setup 0 (the elastic step meets the linearisation), 1
// (it leaves some violation: no convergence, no ending) or 6 (locally infeasible: the record says so).
// When the elastic step is unavailable, nothing changes and the documented ending follows.
//
// Escape: a point where the violation cannot be reduced to first order and no step is left may still
// be no local minimiser of the violation (a constraint gradient that vanishes there: x1^2 >= 1 at
// x1 = 0). Before it is called locally infeasible, up to kEscapes times per solution, the iteration
// moves from it by d_i = 0.1 max(1, |X(i)|) towards the wider side of the bounds, taken without a line
// search.
inline constexpr int kEscapes = 2;
inline constexpr double kEscapeLength = 0.1;

struct RobustStep {
  double weight = 0.0;  // the weight mu must reach before the line search (0: none)
  bool escape = false;  // D holds an escape step: take it without a line search
};
RobustStep robust_subproblem(const EngineCall& c, MxiterState& s, int& qpfail, int& setup);

// Divergence: where the documented method would end with 3, 4 or 10, the robust strategy calls the
// problem unbounded instead when the iterates ran away: F fell by more than kDivergence max(1, |F|)
// below its start value, or some |X(i)| exceeds kDivergence max(1, max |X(i)| at the start). (The
// unbounded test of every strategy waits for 1e20; an objective that falls without bound makes B
// shrink until the QP solver fails first: min x1 with x1 free.) False for the faithful strategy.
inline constexpr double kDivergence = 1.0e10;

// Where the documented method would end with 3 or 4 right after an elastic step that removed almost
// none (less than kInfeasibleReduction) of a violation beyond the feasibility tolerance, the point is
// stationary for the violation: the robust strategy ends "locally infeasible" there.
inline constexpr double kInfeasibleReduction = 1.0e-3;
bool robust_infeasible_stationary(const EngineCall& c, const MxiterState& s);

// The floor of the stationarity test's size (stationarity.h): 1 for the faithful strategy; for the
// robust one g0 = max |G(i)| at the start when 0 < g0 < 1 (an objective of tiny magnitude, such as one
// multiplied by 1e-5, would otherwise pass the test wherever its gradient is below 1), else 1.
double stationarity_floor(const MxiterState& s);
bool robust_diverging(const EngineCall& c, const MxiterState& s);

}  // namespace vek::engine
