// Progress of a native solve: the progress callback, the one-line-per-iteration log ("Log"), the time
// and evaluation limits ("TimeLimit", "MaxEvaluations") and interruption (contracts in
// include/talvir/talvir.h and api/solver.h).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "api/solver.h"
#include "core/parameter_records.h"

namespace talvir_api {
namespace {

double seconds_since(const talvir_solver& s) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - s.began).count();
}

// The largest violation of the engine's rows (by kind) and of the bounds at the engine's point.
double engine_violation(const talvir_solver& s) {
  const vek::core::SolveState& run = s.run;
  double v = 0.0;
  for (int i = 0; i < s.n; ++i) v = std::max({v, s.lower[i] - run.X[i], run.X[i] - s.upper[i]});
  for (int j = 0; j < s.m; ++j) {
    const double c = run.C[j];
    v = std::max(v, s.kinds[j] == TALVIR_EQUAL ? std::fabs(c) : (s.kinds[j] == TALVIR_LESS_EQUAL ? c : -c));
  }
  return v;
}

talvir_iteration iteration_record(const talvir_solver& s, int iteration) {
  const vek::core::SolveState& run = s.run;
  const auto& state = run.engine_state;
  talvir_iteration it{};
  it.size = sizeof it;
  it.iteration = iteration;
  it.value_evaluations = s.value_evaluations;
  it.derivative_evaluations = s.derivative_evaluations;
  it.f = s.sense * run.F;
  it.violation = engine_violation(s);
  it.relaxation = 1.0;
  if (iteration > 0) {
    it.convergence_sum = run.CVG[0];
    it.convergence_threshold = run.CVG[1];
    it.step = state.ALPHA;
    it.penalty = s.sense * state.PHI0;
    it.relaxation = run.D[s.n];
    for (int j = 0; j < s.m; ++j) it.active += run.VF[j] != 0.0;
    it.elastic = state.robust.elastic_steps > 0 && state.robust.elastic_at == state.ITER;
  }
  it.seconds = seconds_since(s);
  it.x = run.X.data();
  return it;
}

void log_line(talvir_solver& s, const talvir_iteration& it) {
  char text[200];
  if (s.log_lines++ % 20 == 0) {
    to_sink(s, "iter     objective     violation   conv. sum   threshold        step  evals     time\n");
  }
  std::snprintf(text, sizeof text, "%4d  % .6e  %.4e  %.4e  %.4e  %.4e  %5d  %7.3fs%s\n", it.iteration, it.f,
                it.violation, it.convergence_sum, it.convergence_threshold, it.step, it.value_evaluations,
                it.seconds, it.elastic ? "  elastic" : "");
  to_sink(s, text);
}

}  // namespace

// The sink may call the getters only (refuse_in_listing turns the rest away).
void to_sink(talvir_solver& s, const char* text) {
  if (s.listing == nullptr || s.in_listing) return;
  s.in_listing = true;
  s.listing(text, s.listing_user);
  s.in_listing = false;
}

bool report_progress(talvir_solver& s, int iteration) {
  if (iteration <= s.reported) return true;
  s.reported = iteration;
  const bool logging = s.log;
  if (s.progress == nullptr && !logging) return true;
  const talvir_iteration it = iteration_record(s, iteration);
  if (logging) log_line(s, it);
  if (s.progress == nullptr || s.in_listing) return true;
  s.in_listing = true;
  const int rc = s.progress(&it, s.progress_user);
  s.in_listing = false;
  return rc == TALVIR_CALLBACK_OK;
}

std::int32_t limit_reached(const talvir_solver& s, bool values_next) {
  // The controls taken at the solve's first step (take_progress_controls): no lookup by name per step.
  if (s.time_limit > 0 && seconds_since(s) >= s.time_limit) return TALVIR_ENDING_TIME_LIMIT;
  if (values_next && s.max_evaluations > 0 && s.value_evaluations >= s.max_evaluations)
    return TALVIR_ENDING_EVALUATION_LIMIT;
  return TALVIR_ENDING_NONE;
}

void take_progress_controls(talvir_solver& s) {
  // By index, not by name: this runs once per solve on a fresh handle.
  constexpr std::int32_t kLog = native_index("Log"), kTime = native_index("TimeLimit"),
                         kEvaluations = native_index("MaxEvaluations");
  static_assert(kLog >= 0 && kTime >= 0 && kEvaluations >= 0, "the native parameters exist");
  s.log = s.parameters[kLog].value.integer.value != 0;
  s.time_limit = s.parameters[kTime].value.real.value;
  s.max_evaluations = s.parameters[kEvaluations].value.integer.value;
}

void log_summary(talvir_solver& s) {
  if (!s.log) return;
  const Results& r = s.results;
  char text[600];
  std::snprintf(text, sizeof text,
                "\nending:       %d, %s\nobjective:    % .10e\nviolation:    %.4e\niterations:   %d\n"
                "evaluations:  %d values, %d derivatives\ntime:         %.3f s\n",
                r.ending, r.message.c_str(), r.f, r.violation, r.iterations, s.value_evaluations,
                s.derivative_evaluations, seconds_since(s));
  // The sink receives one whole line per call.
  for (char *line = text, *end = std::strchr(text, '\n'); end != nullptr;
       line = end + 1, end = std::strchr(line, '\n')) {
    const char next = end[1];
    end[1] = '\0';
    to_sink(s, line);
    end[1] = next;
  }
}

}  // namespace talvir_api

extern "C" {

TALVIR_API int talvir_set_progress(talvir_solver* s, talvir_progress_fn fn, void* user) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_progress")) return refused;
  if (s->phase == talvir_api::Phase::awaiting)
    return talvir_api::fail(s, TALVIR_ERROR_OUT_OF_ORDER, "talvir_set_progress: a solve is in progress");
  s->progress = fn;
  s->progress_user = user;
  return talvir_api::succeed(s);
}

TALVIR_API int talvir_interrupt(talvir_solver* s) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  s->interrupt_requested.store(true, std::memory_order_relaxed);  // nothing else: signal-safe
  return TALVIR_OK;
}

}  // extern "C"
