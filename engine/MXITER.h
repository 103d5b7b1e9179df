// MXITER: the SQP iteration, run as a state machine across engine calls.
//
//   c  in/out  the arguments of this MIRAX call (checked by MIRAX), with VF cut into its segments
//   s  in/out  the persisting record; s.resume says where the next call continues
// On entry *c.INF is 0 (start a solution), -1 (F and C at the trial point are supplied) or -2 (G and A
// at the accepted point are supplied), matching s.resume (MIRAX checks). On return *c.INF is
//   -1 / -2   the next request;   1 converged;   2 iteration limit;   3 line search used MAXLS calls;
//   4 uphill direction;   6 inconsistent linearisation;   8 a non-finite value or illegal bounds or
//   scales where no step can be cut (nothing iterated on them);   10 the QP solver failed.
// Codes 1 .. 10 end the solution (s.resume becomes start_solution).
#pragma once

#include "engine/MxiterState.h"
#include "engine/engine_call.h"

namespace vek::engine {

void MXITER(const EngineCall& c, MxiterState& s);

}  // namespace vek::engine
