// Elastic steps of the robust strategy: where the relaxed QP subproblem finds the linearised constraints
// inconsistent (relaxation variable below 1e-4) or its equality rows dependent (a QP failure), the step
// comes from the l1-penalised subproblem instead (Fletcher's Sl1QP; the elastic mode of SNOPT):
//
//   minimise  G'd + 1/2 d'Bd + rho sum_j e_j + 1/2 delta sum_j e_j^2
//   subject to  C(j) + A(.,j)'d + v_j - w_j {= 0, >= 0, <= 0}   (v_j only for kind +1, w_j only for -1)
//               XL - X <= d <= XU - X (clamped to contain 0),   v, w >= 0
//
// which is always feasible, and whose equality rows are independent (each has its own elastic
// columns). delta = 1e-8 max(1, max B(i,i)) keeps the Hessian positive definite for the QP solver.
// The same QP solver solves it (QPSUB, in the part of WQP beyond the normal subproblem's in-memory
// need: elastic_wqp_need).
//
// Steering (Byrd, Nocedal and Waltz): rho starts at max(1, max_i |G(i)|, max_j |lambda_j|), kept from
// one elastic step to the next, and grows tenfold (at most kSteeringRounds times per step) while the
// step removes less than a tenth of the linearised violation theta = sum_j v_j(C) that the step
// could remove.
//
// Results: d in D(1..N), the multipliers in lambda, and in D(N+1) the xi that makes the line search's
// slope G'd - P xi that of the l1 penalty with the weights mu (which the caller raises to at least rho):
// xi = 1 - (sum_j mu_j v_j(C + A'd)) / P.
#pragma once

#include "engine/MxiterState.h"
#include "engine/engine_call.h"

namespace vek::engine {

inline constexpr int kSteeringRounds = 4;

// The WQP length an elastic step needs beyond the normal subproblem's in-memory need.
long long elastic_wqp_need(int N, int M, int ME);

enum class ElasticResult {
  unavailable,         // no room in WQP, or the QP solver failed: the documented ending stands
  consistent,          // the step meets the linearised constraints (a normal step after all)
  elastic,             // a step that leaves some linearised violation
  locally_infeasible,  // the violation cannot be reduced to first order and no step is left
};

// Solves the elastic subproblem at the call's point (G, C, A, B, X) and sets D, lambda and, for the
// step, the elastic weight `rho` (the caller raises mu to it); `theta0` and `theta1` the linearised
// violation before and after the step.
ElasticResult elastic_step(const EngineCall& c, MxiterState& s, double& rho, double& theta0, double& theta1);

// xi for the line search's slope, from the step in D and the weights mu, P = sum_j mu_j v_j(C) (1 when
// P is 0).
double elastic_xi(const EngineCall& c, double P);

}  // namespace vek::engine
