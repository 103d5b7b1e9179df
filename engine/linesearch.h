// Line search of the SQP iteration: exact penalty with adaptive weights (primary), the Lagrangian as
// secondary penalty for the watchdog, and safeguarded quadratic interpolation of the step factor.
//
// The pure pieces below are the formulas; the stateful ones work on one engine call (EngineCall) and
// the persisting record (MxiterState) and leave INF and X set for the caller's next evaluation.
#pragma once

#include "engine/MxiterState.h"
#include "engine/engine_call.h"

namespace vek::engine {

// Violation of a constraint of kind `kind` (-1: c <= 0, 0: c = 0, +1: c >= 0) with value c.
double violation(int kind, double c);
// New weight max(|lambda|, (mu + |lambda|)/2): never below the multiplier, decays slowly otherwise.
double updated_weight(double mu, double lambda);
// First step factor: 1, or in iterations 1 to 3 min(1, STEP sqrt(max(|X|^2, 100) / max(|D|^2, 1e-5))).
//   X (N), D (N) in: the current point and the unscaled QP direction.
double first_step_factor(int iter, double step, int N, const double* X, const double* D);
// Next factor after a rejected trial made with factor `alpha`: max(0.1 alpha, 0.5 dphi / (dphi -
// dphi_delta)).
double reduced_factor(double alpha, double dphi, double delta_phi);
// Standard sufficient-decrease test delta_phi <= 0.1 dphi (equality passes).
inline bool standard_test_holds(double delta_phi, double dphi) {
  return delta_phi <= 0.1 * dphi;
}
// The watchdog is tried only on the first trial of a line search after iteration 2 that started
// from a record-low primary penalty (all comparisons strict).
bool watchdog_applies(const MxiterState& s);
// A trial point counts as a failed evaluation when C(1) >= 1e30 (the caller's signal), or F or any
// C(j) is not finite: the penalty could not be formed there. C(1) is read even when M = 0.
bool evaluation_failed(const EngineCall& c);

// Penalty sum P = sum mu_j v_j at the current C.
double penalty_sum(const EngineCall& c);

// Penalties at the start point: sets PHI0 and PSI0, writes their contributions (M > 0 and
// IPRINT >= 0). Returns the penalty sum P.
double start_penalties(const EngineCall& c, MxiterState& s);

enum class LineSearch { trial_requested, accepted, exhausted };

// First trial of a line search: DPHI must be set; chooses the first factor and requests the trial
// point (INF = -1), or reports `exhausted` (X back at X0) when MAXLS allows no evaluation.
LineSearch begin_line_search(const EngineCall& c, MxiterState& s);
// Re-entry with F and C at the trial point: accept, or request the next trial, or give up.
// On `accepted` PHIMIN is updated; the caller sets INF.
LineSearch continue_line_search(const EngineCall& c, MxiterState& s);

}  // namespace vek::engine
