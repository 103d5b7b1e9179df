// Results, endings, status texts and the version of the native API (contracts in
// include/talvir/talvir.h). Endings, their messages and categories come from the one outcome table.
#include <algorithm>

#include "api/solver.h"
#include "core/outcome.h"

using talvir_api::fail;
using talvir_api::Phase;
using talvir_api::succeed;

static_assert(TALVIR_ENDING_UNKNOWN == vek::core::kEndingUnknown, "ending codes agree");
static_assert(TALVIR_ENDING_STOPPED == vek::core::kEndingStopped, "ending codes agree");
static_assert(TALVIR_ENDING_EVALUATION_FAILED == vek::core::kEndingEvaluationFailed, "ending codes agree");
static_assert(TALVIR_ENDING_UNBOUNDED == vek::core::kEndingUnbounded, "ending codes agree");
static_assert(TALVIR_ENDING_LOCALLY_INFEASIBLE == vek::core::kEndingLocallyInfeasible, "ending codes agree");
static_assert(TALVIR_ENDING_TIME_LIMIT == vek::core::kEndingTimeLimit, "ending codes agree");
static_assert(TALVIR_ENDING_EVALUATION_LIMIT == vek::core::kEndingEvaluationLimit, "ending codes agree");
static_assert(TALVIR_CATEGORY_SOLVED == static_cast<int>(vek::core::EndingCategory::solved),
              "categories agree");
static_assert(TALVIR_CATEGORY_LIMIT == static_cast<int>(vek::core::EndingCategory::limit),
              "categories agree");
static_assert(TALVIR_CATEGORY_INFEASIBLE == static_cast<int>(vek::core::EndingCategory::infeasible),
              "categories agree");
static_assert(TALVIR_CATEGORY_FAILURE == static_cast<int>(vek::core::EndingCategory::failure),
              "categories agree");
static_assert(TALVIR_CATEGORY_STOPPED == static_cast<int>(vek::core::EndingCategory::stopped),
              "categories agree");
static_assert(TALVIR_CATEGORY_UNBOUNDED == static_cast<int>(vek::core::EndingCategory::unbounded),
              "categories agree");

namespace {

constexpr const char* kStatusTexts[] = {
    "success",
    "a required pointer is null",
    "a size is out of range",
    "a value is not allowed",
    "no parameter of that name",
    "a parameter value is outside its bounds",
    "the parameter has another type",
    "the call is not allowed at this point of the calling sequence",
    "memory could not be obtained",
    "a callback that the problem needs is missing",
};

// TALVIR_OK when the results of an ended solve may be read, else the refusal.
int results_ready(const talvir_solver* s, const char* function, const void* out) {
  if (out == nullptr) return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "%s: null out-pointer", function);
  if (s->phase != Phase::ended) {
    return fail(s, TALVIR_ERROR_OUT_OF_ORDER, "%s: no solve has ended since the last one began", function);
  }
  return TALVIR_OK;
}

// Copies an array result; with nothing to copy (m = 0) the out-pointer may be null.
int copy_out(const talvir_solver* s, const char* function, const vek::core::Array<double>& from, double* to) {
  const int status = results_ready(s, function, from.empty() ? static_cast<const void*>(s) : to);
  if (status != TALVIR_OK) return status;
  if (!from.empty()) std::copy(from.begin(), from.end(), to);
  return succeed(s);
}

}  // namespace

extern "C" {

TALVIR_API int talvir_version(int* major, int* minor, int* patch) {
  if (major == nullptr || minor == nullptr || patch == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  *major = TALVIR_VERSION_MAJOR;
  *minor = TALVIR_VERSION_MINOR;
  *patch = TALVIR_VERSION_PATCH;
  return TALVIR_OK;
}

TALVIR_API int talvir_status_text(int status, const char** text) {
  if (text == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  constexpr int kCount = static_cast<int>(sizeof kStatusTexts / sizeof kStatusTexts[0]);
  *text = status >= 0 && status < kCount ? kStatusTexts[status] : "unknown status code";
  return TALVIR_OK;
}

TALVIR_API int talvir_ending_text(int ending, const char** text) {
  if (text == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  const char* found = vek::core::ending_text(ending);
  if (found == nullptr) return TALVIR_ERROR_BAD_VALUE;
  *text = found;
  return TALVIR_OK;
}

TALVIR_API int talvir_ending_category(int ending, int* category) {
  if (category == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (vek::core::ending_text(ending) == nullptr) return TALVIR_ERROR_BAD_VALUE;
  *category = static_cast<int>(vek::core::ending_category(ending));
  return TALVIR_OK;
}

TALVIR_API int talvir_get_ending(const talvir_solver* s, int* ending) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (ending == nullptr) return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_get_ending: null out-pointer");
  *ending = s->phase == Phase::ended ? s->results.ending : TALVIR_ENDING_NONE;
  return succeed(s);
}

TALVIR_API int talvir_get_ending_message(const talvir_solver* s, const char** text) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (text == nullptr)
    return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_get_ending_message: null out-pointer");
  *text = s->phase == Phase::ended ? s->results.message.c_str() : "";
  return succeed(s);
}

TALVIR_API int talvir_get_x(const talvir_solver* s, double* x) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  return copy_out(s, "talvir_get_x", s->results.x, x);
}

TALVIR_API int talvir_get_constraints(const talvir_solver* s, double* c) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  return copy_out(s, "talvir_get_constraints", s->results.c, c);
}

TALVIR_API int talvir_get_multipliers(const talvir_solver* s, double* lambda) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  return copy_out(s, "talvir_get_multipliers", s->results.lambda, lambda);
}

TALVIR_API int talvir_get_bound_multipliers(const talvir_solver* s, double* z) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  return copy_out(s, "talvir_get_bound_multipliers", s->results.z, z);
}

TALVIR_API int talvir_get_objective(const talvir_solver* s, double* f) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  const int status = results_ready(s, "talvir_get_objective", f);
  if (status != TALVIR_OK) return status;
  *f = s->results.f;
  return succeed(s);
}

TALVIR_API int talvir_get_max_violation(const talvir_solver* s, double* violation) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  const int status = results_ready(s, "talvir_get_max_violation", violation);
  if (status != TALVIR_OK) return status;
  *violation = s->results.violation;
  return succeed(s);
}

TALVIR_API int talvir_get_iterations(const talvir_solver* s, int* iterations) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  const int status = results_ready(s, "talvir_get_iterations", iterations);
  if (status != TALVIR_OK) return status;
  *iterations = s->results.iterations;
  return succeed(s);
}

TALVIR_API int talvir_get_evaluations(const talvir_solver* s, int* values, int* derivatives) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  const int status = results_ready(s, "talvir_get_evaluations", values);
  if (status != TALVIR_OK) return status;
  if (derivatives == nullptr)
    return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_get_evaluations: null out-pointer");
  *values = s->value_evaluations;
  *derivatives = s->derivative_evaluations;
  return succeed(s);
}

TALVIR_API int talvir_get_convergence(const talvir_solver* s, double* sum, double* threshold, double* ratio) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  const int status = results_ready(s, "talvir_get_convergence", s);
  if (status != TALVIR_OK) return status;
  if (sum != nullptr) *sum = s->run.CVG[0];
  if (threshold != nullptr) *threshold = s->run.CVG[1];
  if (ratio != nullptr) *ratio = s->run.convergence_ratio;
  return succeed(s);
}

}  // extern "C"
