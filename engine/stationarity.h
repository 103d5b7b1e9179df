// Stationarity test of the convergence test: a point where the convergence sum passes is a solution
// only when the gradient of the Lagrangian, with the QP subproblem's multipliers and projected on the
// bounds that hold, is small beside the sizes of its terms. The sum alone can pass far from a solution
// when the QP step is tiny for another reason than stationarity (an extreme Hessian control or scales).
//
//   r_i = G(i) - sum_j lambda_j A(i,j)      (glag0, formed by the convergence sum)
//   p_i = X(i) - clamp(X(i) - r_i, XL(i), XU(i))   (the projected gradient step: r_i cut at the room the
//                                                    bounds leave in its descent direction)
//   size = max(floor, max_i |G(i)|, max_j |lambda_j| max_i |A(i,j)|)
// floor = 1 in objective units; the robust strategy takes g0 = max_i |G(i)| at the start instead when
// 0 < g0 < 1, so that an objective of tiny magnitude is judged in its own scale (robust.h).
//   stationary when max_i |p_i| <= tau * size,   tau = min(0.05, max(1e-4, 100 sqrt(ACC)))
// A sum that meets its threshold leaves |r| of order sqrt(ACC |B|), so tau follows sqrt(ACC) with room
// to spare (the bundled collection's solutions stay below a tenth of it at every ACC from 1e-12 to
// 1e-6); its cap keeps a point where nothing cancels (the ratio near 1) from ever being a solution.
#pragma once

#include "engine/engine_call.h"

namespace vek::engine {

// max_i |v[i]|, i < n (0 for n = 0; NaNs are passed over).
double largest_magnitude(const double* v, int n);

// tau for a convergence tolerance ACC (a NaN or negative ACC gives 1e-4).
double stationarity_tolerance(double acc);

// max_i |p_i| / size at the call's X, from glag0 and the multipliers in vf.lambda (a NaN gives NaN).
double stationarity_ratio(const EngineCall& c, double floor = 1.0);

// stationarity_ratio(c, floor) <= stationarity_tolerance(c.ACC).
bool point_stationary(const EngineCall& c, double floor = 1.0);

}  // namespace vek::engine
