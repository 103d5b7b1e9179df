// Feasibility test of the SQP iteration's convergence test: a point counts as converged only when,
// besides the convergence sum, every general constraint is met within a tolerance in the constraint's
// own units (never scaled by |F|).
//
// Tolerance of constraint j at X, with violation v_j as in the penalty (kind -1: max(c, 0); 0: |c|;
// +1: max(-c, 0)):
//   tau_j = eps + kTermsFactor * sum_i |A(i,j) X(i)|,   eps = min(max(ACC, kFeasibilityFloor),
//   kFeasibilityCap)
// eps is absolute, in the constraint's units. sum_i |A(i,j) X(i)| measures the size of the constraint's
// terms at X: where they are large, c_j cannot be computed (nor made) smaller than a few thousand
// rounding units of them, and the second part keeps the tolerance attainable in double precision.
// The cap keeps every ACC, however loose, from accepting an infeasible point; the floor keeps a tiny
// ACC attainable on degenerate problems, where the violation falls slowly.
#pragma once

#include "engine/engine_call.h"

namespace vek::engine {

inline constexpr double kFeasibilityCap = 1.0e-6;
inline constexpr double kFeasibilityFloor = 1.0e-10;
inline constexpr double kTermsFactor = 1.0e-12;

// eps from ACC: ACC clamped to [kFeasibilityFloor, kFeasibilityCap] (a NaN ACC gives the cap).
double feasibility_factor(double acc);

// tau_j for constraint j (1-based) of the call at its X and A (rows 1..N of column j).
double feasibility_tolerance(const EngineCall& c, int j, double eps);

// True when every constraint j has v_j <= tau_j (a NaN violation fails). When `list` is set, the
// constraints that fail are listed: a blank line, the head "*** MIRAX, CONVERGENCE SUM SATISFIED,
// CONSTRAINTS NOT SATISFIED :", then one row (3X,"CONSTR.  ",I4," VIOL. = ",1PE11.4," TOL.  = ",1PE11.4)
// per failing constraint.
bool constraints_met(const EngineCall& c, bool list);

}  // namespace vek::engine
