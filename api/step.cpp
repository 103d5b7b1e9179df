// Reverse communication through the native API: begin a solve, hand the caller's values to the engine
// once per step, turn the cycle flag into the next request, end with results (contracts in
// include/talvir/talvir.h). The engine's side is the solve core's, as for the plug-in: core/engine_run.
#include <algorithm>
#include <cmath>
#include <limits>

#include "api/solver.h"
#include "core/engine_run.h"
#include "core/outcome.h"
#include "engine/MIRAX.h"
#include "engine/hessian.h"
#include "qp/cancellation.h"

using talvir_api::fail;
using talvir_api::first_non_finite;
using talvir_api::Phase;
using talvir_api::succeed;

namespace talvir_api {
namespace {

constexpr double kEvaluationFailed = 1.0e30;  // C(1) at or above it: the engine shortens the step
constexpr double kNotKnown = std::numeric_limits<double>::quiet_NaN();

// The constraint values of the last point evaluated, as the caller gave them.
const double* caller_values(const talvir_solver& s) {
  return s.rows ? s.rows->handed.data() : s.run.C.data();
}

void remember_accepted(talvir_solver& s) {
  std::copy(s.run.X.begin(), s.run.X.end(), s.accepted_x.begin());
  s.accepted_f = s.sense * s.run.F;
  std::copy(caller_values(s), caller_values(s) + caller_m(s), s.accepted_c.begin());
}

// The largest violation of the constraints (by kind, or by their sides) and bounds at the result point.
double violation_of(const talvir_solver& s, const Results& r) {
  double v = 0.0;
  for (int i = 0; i < s.n; ++i) v = std::max({v, s.lower[i] - r.x[i], r.x[i] - s.upper[i]});
  for (int j = 0; j < caller_m(s); ++j) {
    const double c = r.c[j];
    if (s.rows) {
      v = std::max({v, s.rows->lower[j] - c, c - s.rows->upper[j]});
    } else {
      v = std::max(v, s.kinds[j] == TALVIR_EQUAL ? std::fabs(c) : (s.kinds[j] == TALVIR_LESS_EQUAL ? c : -c));
    }
  }
  return std::isnan(v) ? kNotKnown : v;
}

// The caller's values into the engine's terms: two-sided rows onto engine rows, maximisation onto
// minimisation of -f.
void to_engine_terms(talvir_solver& s, bool values, bool derivatives) {
  vek::core::EvaluationRecord& e = s.run.evaluation;
  if (s.rows)
    to_engine(*s.rows, values ? e.constraints.data() : nullptr, derivatives ? e.jacobian.data() : nullptr);
  if (s.sense > 0) return;
  if (values) e.objective = -e.objective;
  if (derivatives)
    for (int i = 0; i < s.n; ++i) e.gradient[i] = -e.gradient[i];
}

// g - sum_j lambda_j A(., j) from the engine's G and A.
void lagrangian_gradient(const talvir_solver& s, const vek::core::Array<double>& z) {
  const vek::core::SolveState& run = s.run;
  for (int i = 0; i < s.n; ++i) {
    double sum = run.G[i];
    for (int j = 0; j < s.m; ++j) sum -= run.VF[j] * run.A[static_cast<std::size_t>(j) * run.LCN + i];
    z[i] = sum;
  }
}

// Hands the written values to the engine for the pending request. False when the solve must end with
// an evaluation failure (values at the start point, or derivatives).
bool take_values(talvir_solver& s) {
  vek::core::SolveState& run = s.run;
  const vek::core::EvaluationRecord& e = run.evaluation;
  const bool values = (s.request & TALVIR_REQUEST_VALUES) != 0;
  const bool derivatives = (s.request & TALVIR_REQUEST_DERIVATIVES) != 0;
  // The caller's values and Jacobian entries: every one written counts, also a free row's (which has no
  // row in the engine).
  const double* c = s.rows ? s.rows->c.data() : e.constraints.data();
  const double* jac = s.rows ? s.rows->jac.data() : e.jacobian.data();
  if (s.request == TALVIR_REQUEST_ALL) {
    s.accepted_f = e.objective;
    std::copy(c, c + caller_m(s), s.accepted_c.begin());
  }
  if (values && s.rows) std::copy(c, c + caller_m(s), s.rows->handed.begin());
  to_engine_terms(s, values, derivatives);
  bool values_failed = false, derivatives_failed = false;
  if (values) {
    ++s.value_evaluations;
    values_failed = s.cannot_evaluate || !std::isfinite(e.objective) || first_non_finite(c, caller_m(s)) >= 0;
  }
  if (derivatives) {
    // A start point whose values could not be evaluated had no derivatives evaluated either.
    if (!(s.cannot_evaluate && values)) ++s.derivative_evaluations;
    derivatives_failed = (s.cannot_evaluate && !values) || first_non_finite(e.gradient.data(), s.n) >= 0 ||
                         first_non_finite(jac, caller_nnz(s)) >= 0;
  }
  s.cannot_evaluate = false;
  if (derivatives_failed || (values_failed && derivatives)) return false;
  vek::core::transfer_values(run);
  if (values_failed) {
    run.C[0] = kEvaluationFailed;  // read by the engine even when M = 0
  } else if (s.m == 0) {
    run.C[0] = 0.0;
  }
  return true;
}

}  // namespace

void begin_solve(talvir_solver& s) {
  vek::core::SolveState& run = s.run;
  run.INF = 0;
  std::copy(s.kinds.begin(), s.kinds.end(), run.KTYPE.begin());
  std::copy(s.lower.begin(), s.lower.end(), run.XL.begin());
  std::copy(s.upper.begin(), s.upper.end(), run.XU.begin());
  // A warm start goes on from the previous solve's point (unless a start was set since), its Hessian
  // approximation and multipliers, which the engine's arrays still hold.
  const bool warm = (s.warm_start && s.engine_called) || s.warm_supplied;
  const vek::core::Array<double>& x0 = warm && !s.warm_supplied && !s.start_given ? s.results.x : s.start;
  std::copy(x0.begin(), x0.end(), run.X.begin());
  s.start_given = false;
  if (s.warm_supplied) vek::engine::mirax_hessian_supplied(run.engine_state, run.VF.data(), run.N, run.M);
  s.warm_supplied = false;
  vek::core::move_start_into_bounds(run);  // as the plug-in's driver does
  std::copy(s.scales.begin(), s.scales.end(), run.D.begin());
  run.D[s.n] = warm ? vek::engine::kWarmStart : s.objective_scale;
  if (!warm) std::fill(run.VF.begin(), run.VF.begin() + s.m, 0.0);
  std::fill(run.CVG.begin(), run.CVG.end(), 0.0);
  run.convergence_ratio = 0.0;
  run.jacobian_rows = s.rows1.data();
  run.jacobian_cols = s.cols1.data();
  run.nnz = static_cast<std::int32_t>(s.rows1.size());
  s.value_evaluations = s.derivative_evaluations = 0;
  s.engine_called = s.cannot_evaluate = false;
  std::copy(run.X.begin(), run.X.end(), s.accepted_x.begin());
  s.accepted_f = kNotKnown;
  std::fill(s.accepted_c.begin(), s.accepted_c.end(), kNotKnown);
  s.results.ending = TALVIR_ENDING_NONE;
  s.results.message.clear();
  s.began = std::chrono::steady_clock::now();
  s.reported = -1;
  s.log_lines = 0;
  s.interrupt_requested.store(false, std::memory_order_relaxed);  // a request from before this solve
  s.request = TALVIR_REQUEST_ALL;
  s.phase = Phase::awaiting;
}

void end_solve(talvir_solver& s, std::int32_t ending) {
  const vek::core::SolveState& run = s.run;
  Results& r = s.results;
  r.ending = ending;
  r.message = vek::core::ending_message(ending, run.MAXIT, run.MAXLS);
  // After a line search limit X is the line search's start, while F and C hold the last trial's values;
  // after a stop or a failed evaluation the engine's arrays may hold values of a point never accepted.
  const bool at_accepted = !s.engine_called || ending == TALVIR_ENDING_LINE_SEARCH_LIMIT ||
                           ending == TALVIR_ENDING_STOPPED || ending == TALVIR_ENDING_EVALUATION_FAILED ||
                           ending == TALVIR_ENDING_TIME_LIMIT || ending == TALVIR_ENDING_EVALUATION_LIMIT;
  // The result arrays were sized at creation: ending a solve allocates nothing.
  if (at_accepted) {
    std::copy(s.accepted_x.begin(), s.accepted_x.end(), r.x.begin());
    r.f = s.accepted_f;
    std::copy(s.accepted_c.begin(), s.accepted_c.end(), r.c.begin());
  } else {
    std::copy(run.X.begin(), run.X.end(), r.x.begin());
    r.f = s.sense * run.F;
    std::copy(caller_values(s), caller_values(s) + caller_m(s), r.c.begin());
  }
  if (s.rows) {
    to_caller(*s.rows, run.VF.data(), r.lambda.data());
  } else {
    std::copy(run.VF.begin(), run.VF.begin() + s.m, r.lambda.begin());
  }
  std::fill(r.z.begin(), r.z.end(), 0.0);
  if (s.engine_called) lagrangian_gradient(s, r.z);
  if (s.sense < 0) {  // the multipliers of max f are those of min -f, negated
    for (double& lambda : r.lambda) lambda = -lambda;
    for (double& z : r.z) z = -z;
  }
  r.iterations = s.engine_called ? run.engine_state.ITER : 0;
  r.violation = violation_of(s, r);
  log_summary(s);
  end_listing(s);
  s.request = TALVIR_REQUEST_NONE;
  s.phase = Phase::ended;
}

// What may cut an engine call short: talvir_interrupt, and the time limit (a limit beyond a century is
// none, which also keeps the deadline's arithmetic in range).
vek::qp::Cancellation cancellation_of(const talvir_solver& s) {
  vek::qp::Cancellation c;
  c.flag = &s.interrupt_requested;
  c.timed = s.time_limit > 0 && s.time_limit < 3.0e9;
  if (c.timed) {
    c.deadline = s.began + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(s.time_limit));
  }
  return c;
}

// One continuing step: values to the engine, one engine call, the next request or the ending.
// After an engine call: the next request, or the ending (the engine's, a limit's, or a stop asked for by
// the progress callback).
void next_request(talvir_solver& s) {
  const vek::core::SolveState& run = s.run;
  if (run.INF == -1) {
    const std::int32_t limit = limit_reached(s, true);
    if (limit != TALVIR_ENDING_NONE) return end_solve(s, limit);
    s.request = TALVIR_REQUEST_VALUES;
  } else if (run.INF == vek::engine::kInfCancelled) {  // an interrupt or the time limit, inside the call
    const bool interrupted = s.interrupt_requested.exchange(false, std::memory_order_relaxed);
    report_progress(s, run.engine_state.ITER);  // the iteration begun, as for the engine's own endings
    end_solve(s, interrupted ? TALVIR_ENDING_STOPPED : TALVIR_ENDING_TIME_LIMIT);
  } else if (run.INF == -2) {
    remember_accepted(s);
    if (!report_progress(s, run.engine_state.ITER)) return end_solve(s, TALVIR_ENDING_STOPPED);
    s.request = TALVIR_REQUEST_DERIVATIVES;
  } else {
    report_progress(s, run.engine_state.ITER);
    end_solve(s, vek::core::ending_of_flag(run.INF, run.engine_state.unbounded,
                                           run.engine_state.robust.locally_infeasible));
  }
}

void continue_solve(talvir_solver& s) {
  vek::core::SolveState& run = s.run;
  if (s.interrupt_requested.exchange(false, std::memory_order_relaxed)) {
    end_solve(s, TALVIR_ENDING_STOPPED);
    return;
  }
  // The controls depend on the parameter records alone: taken again only after one was stored.
  if (s.controls_stale) {
    vek::core::set_engine_controls(run, s.parameters, vek::core::kParameterCount);
    run.engine_state.strategy = talvir_api::native_strategy(s.parameters);
    take_progress_controls(s);
    s.controls_stale = false;
  }
  if (!take_values(s)) {
    end_solve(s, TALVIR_ENDING_EVALUATION_FAILED);
    return;
  }
  const std::int32_t limit = limit_reached(s, false);
  if (!report_progress(s, 0) || limit != TALVIR_ENDING_NONE) {  // the start point, once
    end_solve(s, limit != TALVIR_ENDING_NONE ? limit : TALVIR_ENDING_STOPPED);
    return;
  }
  {
    ListingScope listing(s);
    const vek::qp::Cancellation cancellation = cancellation_of(s);
    const vek::qp::CancellationScope scope(cancellation);
    vek::core::run_engine(run);
  }
  s.engine_called = true;
  next_request(s);
}

}  // namespace talvir_api

extern "C" {

TALVIR_API int talvir_evaluation_arrays(talvir_solver* s, const double** x, double** f, double** g,
                                        double** c, double** jac) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  vek::core::EvaluationRecord& e = s->run.evaluation;
  if (x != nullptr) *x = s->run.X.data();
  if (f != nullptr) *f = &e.objective;
  if (g != nullptr) *g = e.gradient.data();
  const bool rows = s->rows != nullptr, with_rows = talvir_api::caller_m(*s) > 0;
  if (c != nullptr) *c = !with_rows ? nullptr : rows ? s->rows->c.data() : e.constraints.data();
  if (jac != nullptr) *jac = !with_rows ? nullptr : rows ? s->rows->jac.data() : e.jacobian.data();
  return succeed(s);
}

TALVIR_API int talvir_step(talvir_solver* s, int* request) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (request == nullptr) return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_step: null request pointer");
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_step")) return refused;
  if (s->in_callback)
    return fail(s, TALVIR_ERROR_OUT_OF_ORDER, "talvir_step: called from a callback of talvir_solve");
  return talvir_api::guarded(s, [&] {
    if (s->phase == Phase::awaiting) {
      talvir_api::continue_solve(*s);
    } else {
      talvir_api::begin_solve(*s);
    }
    *request = s->request;
    return succeed(s);
  });
}

TALVIR_API int talvir_cannot_evaluate(talvir_solver* s) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_cannot_evaluate")) return refused;
  if (s->phase != Phase::awaiting) {
    return fail(s, TALVIR_ERROR_OUT_OF_ORDER, "talvir_cannot_evaluate: no request is pending");
  }
  s->cannot_evaluate = true;
  return succeed(s);
}

TALVIR_API int talvir_stop(talvir_solver* s) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_stop")) return refused;
  if (s->phase != Phase::awaiting)
    return fail(s, TALVIR_ERROR_OUT_OF_ORDER, "talvir_stop: no solve is in progress");
  s->in_callback = false;  // also after a callback was left without returning (longjmp)
  return talvir_api::guarded(s, [&] {
    talvir_api::end_solve(*s, TALVIR_ENDING_STOPPED);
    return succeed(s);
  });
}

}  // extern "C"
