// Creation, set-up and messages of a talvir_solver (contracts in include/talvir/talvir.h).
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "api/solver.h"
#include "core/engine_run.h"
#include "core/parameter_records.h"
#include "io/available_memory.h"

namespace talvir_api {

int fail(const talvir_solver* s, int status, const char* format, ...) {
  char text[400];
  std::va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (s != nullptr) s->error = text;
  return status;
}

int succeed(const talvir_solver* s) {
  s->error.clear();
  return TALVIR_OK;
}

int fail_without_handle(int status) {
  return status;
}

int first_non_finite(const double* values, int n) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(values[i])) return i;
  }
  return -1;
}

}  // namespace talvir_api

using talvir_api::fail;
using talvir_api::guarded;
using talvir_api::Phase;
using talvir_api::succeed;

talvir_solver::~talvir_solver() {
  listing = nullptr;  // closing the units hands on an unfinished line: not to a caller who is freeing
  if (parameters_made) vek::core::free_parameter_records(parameters, talvir_api::kNativeParameterCount);
}

namespace {

constexpr double kNoBound = TALVIR_INFINITE_BOUND;

// A refusal of set-up while a solve is in progress.
int refuse_during_solve(const talvir_solver* s, const char* function) {
  return fail(
      s, TALVIR_ERROR_OUT_OF_ORDER,
      "%s: a solve is in progress (finish it, or end it with talvir_stop, before changing the problem)",
      function);
}

bool valid_kind(int kind) {
  return kind == TALVIR_EQUAL || kind == TALVIR_GREATER_EQUAL || kind == TALVIR_LESS_EQUAL;
}

// Sizes and kinds of talvir_create; TALVIR_OK or the status of the refusal.
int check_problem(int n, int m, const int* kinds) {
  if (n < 1 || m < 0) return TALVIR_ERROR_BAD_SIZE;
  if (m > 0 && kinds == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  int equalities = 0;
  for (int j = 0; j < m; ++j) {
    if (!valid_kind(kinds[j])) return TALVIR_ERROR_BAD_VALUE;
    equalities += kinds[j] == TALVIR_EQUAL;
  }
  const long long dense = static_cast<long long>(n) * m;
  if (dense >= std::numeric_limits<std::int32_t>::max()) return TALVIR_ERROR_BAD_SIZE;
  const bool usable =
      vek::core::engine_sizes_usable(n, equalities, m - equalities, static_cast<std::int32_t>(dense), true);
  return usable ? TALVIR_OK : TALVIR_ERROR_BAD_SIZE;
}

int equality_count(int m, const int* kinds) {
  return static_cast<int>(std::count(kinds, kinds + m, TALVIR_EQUAL));
}

// Whether the engine's arrays have room for the elastic subproblem (see make_solver).
bool elastic_room(int n, int m, int equalities) {
  return vek::core::engine_sizes_usable(n, equalities, m - equalities, n * m, true, true);
}

// Bytes a solver of these (checked) sizes holds: the engine's arrays for the dense structure with the
// QP in memory, and the problem data (the structure's two arrays of n m entries, arrays of n and m).
double solver_memory_bytes(int n, int m, int equalities) {
  const double engine = static_cast<double>(
      vek::core::engine_memory_bytes(n, equalities, m, n * m, true, elastic_room(n, m, equalities)));
  return engine + 8.0 * n * m + 8.0 * (8.0 * n + 6.0 * m);
}

// The problem data at their defaults (the dense structure), the arrays of the last accepted point and
// of the results (per caller's row: caller_m of them), all in the solver's two blocks; false when memory
// is short.
bool make_solver_arrays(talvir_solver& s, int n, int m, const int* kinds, int caller_m) {
  const std::size_t un = static_cast<std::size_t>(n), um = static_cast<std::size_t>(caller_m),
                    dense = un * static_cast<std::size_t>(m);
  s.reals.reset(new (std::nothrow) double[7 * un + 3 * um]);
  s.integers.reset(new (std::nothrow) std::int32_t[static_cast<std::size_t>(m) + 2 * dense]);
  if (!s.reals || !s.integers) return false;
  double* next = s.reals.get();
  const auto take = [&next](std::size_t length, double value) {
    std::fill(next, next + length, value);
    return vek::core::take_array(next, length);
  };
  s.lower = take(un, -kNoBound), s.upper = take(un, kNoBound), s.start = take(un, 0.0);
  s.scales = take(un, 1.0), s.accepted_x = take(un, 0.0), s.accepted_c = take(um, 0.0);
  s.results.x = take(un, 0.0), s.results.z = take(un, 0.0);
  s.results.c = take(um, 0.0), s.results.lambda = take(um, 0.0);
  std::int32_t* next_int = s.integers.get();
  std::copy(kinds, kinds + m, next_int);
  s.kinds = vek::core::take_array(next_int, static_cast<std::size_t>(m));
  s.rows1 = vek::core::take_array(next_int, dense);
  s.cols1 = vek::core::take_array(next_int, dense);
  for (std::size_t k = 0; k < dense; ++k) {
    s.rows1[k] = static_cast<std::int32_t>(k / un + 1);
    s.cols1[k] = static_cast<std::int32_t>(k % un + 1);
  }
  return true;
}

// The problem data at their defaults and the engine's arrays; false when memory is short.
bool make_solver(talvir_solver& s, int n, int m, const int* kinds, int caller_m) {
  s.n = n;
  s.m = m;
  if (!make_solver_arrays(s, n, m, kinds, caller_m)) return false;
  const int equalities = equality_count(m, kinds);
  // Room for the robust strategy's elastic subproblem whatever the strategy (it can be chosen later),
  // unless the sizes then pass the 32-bit lengths: the robust strategy then takes no elastic steps.
  const bool elastic = elastic_room(n, m, equalities);
  if (!vek::core::make_engine_arrays(s.run, n, equalities, m, n * m, true, elastic)) return false;
  s.results.message.reserve(400);
  s.parameters_made = vek::core::fill_parameter_records(s.parameters);
  if (s.parameters_made &&
      !vek::core::fill_parameter_records(s.parameters + vek::core::kParameterCount,
                                         talvir_api::kNativeOnlyDefinitions, talvir_api::kNativeOnlyCount)) {
    vek::core::free_parameter_records(s.parameters, vek::core::kParameterCount);
    s.parameters_made = false;
  }
  return s.parameters_made;
}

// lower/upper in the solver's form: beyond +-1e20 (infinities included) is no bound.
double lower_bound_of(const double* lower, int i) {
  return lower == nullptr || lower[i] <= -kNoBound ? -kNoBound : lower[i];
}
double upper_bound_of(const double* upper, int i) {
  return upper == nullptr || upper[i] >= kNoBound ? kNoBound : upper[i];
}

int check_bounds(const talvir_solver* s, const double* lower, const double* upper) {
  for (int i = 0; i < s->n; ++i) {
    const double l = lower != nullptr ? lower[i] : -kNoBound, u = upper != nullptr ? upper[i] : kNoBound;
    if (std::isnan(l) || std::isnan(u)) {
      return fail(s, TALVIR_ERROR_BAD_VALUE, "talvir_set_bounds: a bound of variable %d is not a number", i);
    }
    if (l >= kNoBound || u <= -kNoBound) {
      return fail(
          s, TALVIR_ERROR_BAD_VALUE,
          "talvir_set_bounds: variable %d has a lower bound of +infinity or an upper bound of -infinity "
          "(%g, %g)",
          i, l, u);
    }
    if (l > u) {
      return fail(s, TALVIR_ERROR_BAD_VALUE,
                  "talvir_set_bounds: variable %d has lower bound %g above upper bound %g", i, l, u);
    }
  }
  return TALVIR_OK;
}

// The Hessian initialisation control h0 (the plug-in's "ObjectiveScale"), for the function named.
int set_hessian_scale(talvir_solver* s, double scale, const char* function) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, function)) return refused;
  if (s->phase == Phase::awaiting) return refuse_during_solve(s, function);
  if (!std::isfinite(scale) || scale >= 1.0e30)
    return fail(s, TALVIR_ERROR_BAD_VALUE, "%s: %g is not a finite value below 1e30", function, scale);
  s->objective_scale = scale;
  return succeed(s);
}

// A new solver for the engine rows `kinds` (checked here) and caller_m rows of the caller, into *out.
int create_solver(int n, int m, const int* kinds, int caller_m, talvir_solver** out) {
  const int status = check_problem(n, m, kinds);
  if (status != TALVIR_OK) return status;
  // Refused before anything is allocated: an overcommitting system would not fail the allocation.
  if (vek::io::exceeds_available_memory(solver_memory_bytes(n, m, equality_count(m, kinds))))
    return TALVIR_ERROR_NO_MEMORY;
  talvir_solver* s = nullptr;
  bool made = false;
  try {
    s = new talvir_solver;  // its unit table allocates too
    made = make_solver(*s, n, m, kinds, caller_m);
  } catch (...) {
    made = false;
  }
  if (!made) {
    delete s;
    return TALVIR_ERROR_NO_MEMORY;
  }
  *out = s;
  return TALVIR_OK;
}

}  // namespace

extern "C" {

TALVIR_API int talvir_create(int n, int m, const int* kinds, talvir_solver** out) {
  if (out == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  *out = nullptr;
  return create_solver(n, m, kinds, m, out);
}

TALVIR_API int talvir_create_ranged(int n, int m, const double* lower, const double* upper,
                                    talvir_solver** out) {
  if (out == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  *out = nullptr;
  if (n < 1 || m < 0 || static_cast<long long>(n) * m >= std::numeric_limits<std::int32_t>::max())
    return TALVIR_ERROR_BAD_SIZE;
  if (m > 0 && (lower == nullptr || upper == nullptr)) return TALVIR_ERROR_NULL_ARGUMENT;
  std::unique_ptr<talvir_api::RowMap> map;
  std::vector<std::int32_t> engine_kinds;
  try {
    map = std::make_unique<talvir_api::RowMap>();
    if (!talvir_api::make_rows(m, lower, upper, *map, engine_kinds).empty()) return TALVIR_ERROR_BAD_VALUE;
  } catch (...) {
    return TALVIR_ERROR_NO_MEMORY;
  }
  const std::vector<int> kinds(engine_kinds.begin(), engine_kinds.end());
  talvir_solver* s = nullptr;
  const int status = create_solver(n, static_cast<int>(kinds.size()), kinds.data(), m, &s);
  if (status != TALVIR_OK) return status;
  try {
    std::vector<int> rows, cols;  // the caller's dense structure, row by row
    for (int j = 0; j < m; ++j)
      for (int i = 0; i < n; ++i) rows.push_back(j), cols.push_back(i);
    const int nnz =
        talvir_api::map_structure(*map, n, m * n, rows.data(), cols.data(), s->rows1.data(), s->cols1.data());
    s->rows1 = vek::core::Array<std::int32_t>(s->rows1.data(), static_cast<std::size_t>(nnz));
    s->cols1 = vek::core::Array<std::int32_t>(s->cols1.data(), static_cast<std::size_t>(nnz));
  } catch (...) {
    talvir_free(s);
    return TALVIR_ERROR_NO_MEMORY;
  }
  s->rows = std::move(map);
  *out = s;
  return TALVIR_OK;
}

TALVIR_API int talvir_set_warm_start(talvir_solver* s, int on) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_warm_start")) return refused;
  if (s->phase == Phase::awaiting) return refuse_during_solve(s, "talvir_set_warm_start");
  s->warm_start = on != 0;
  return succeed(s);
}

TALVIR_API int talvir_set_warm_start_from(talvir_solver* s, const talvir_solver* previous) {
  if (s == nullptr || previous == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_warm_start_from")) return refused;
  if (s->phase == Phase::awaiting) return refuse_during_solve(s, "talvir_set_warm_start_from");
  if (previous == s)
    return fail(s, TALVIR_ERROR_BAD_VALUE, "talvir_set_warm_start_from: previous is this solver");
  if (previous->phase != Phase::ended || !previous->engine_called) {
    return fail(s, TALVIR_ERROR_OUT_OF_ORDER,
                "talvir_set_warm_start_from: the previous solver has no ended solve to go on from");
  }
  if (previous->n != s->n || previous->run.M != s->run.M ||
      !std::equal(previous->kinds.begin(), previous->kinds.end(), s->kinds.begin(), s->kinds.end())) {
    return fail(s, TALVIR_ERROR_BAD_SIZE,
                "talvir_set_warm_start_from: the previous solver has other sizes or constraint kinds");
  }
  std::copy(previous->run.VF.begin(), previous->run.VF.end(), s->run.VF.begin());       // same sizes
  std::copy(previous->results.x.begin(), previous->results.x.end(), s->start.begin());  // same n
  s->start_given = false;
  s->warm_supplied = true;
  return succeed(s);
}

TALVIR_API int talvir_set_maximize(talvir_solver* s, int maximize) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_maximize")) return refused;
  if (s->phase == Phase::awaiting) return refuse_during_solve(s, "talvir_set_maximize");
  s->sense = maximize != 0 ? -1.0 : 1.0;
  return succeed(s);
}

TALVIR_API int talvir_memory_needed(int n, int m, const int* kinds, double* needed, double* available) {
  if (needed == nullptr || available == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  const int status = check_problem(n, m, kinds);
  if (status != TALVIR_OK) return status;
  *needed = solver_memory_bytes(n, m, equality_count(m, kinds));
  const std::uint64_t bytes = vek::io::available_memory_bytes();
  *available = bytes == UINT64_MAX ? HUGE_VAL : static_cast<double>(bytes);
  return TALVIR_OK;
}

TALVIR_API int talvir_free(talvir_solver* solver) {
  if (solver != nullptr && (solver->in_callback || solver->in_listing)) {
    return fail(solver, TALVIR_ERROR_OUT_OF_ORDER,
                "talvir_free: called from a callback or the listing sink of this solver (free it after "
                "talvir_solve or talvir_step has returned)");
  }
  delete solver;
  return TALVIR_OK;
}

TALVIR_API int talvir_get_sizes(const talvir_solver* s, int* n, int* m) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (n != nullptr) *n = s->n;
  if (m != nullptr) *m = talvir_api::caller_m(*s);
  return succeed(s);
}

TALVIR_API int talvir_set_bounds(talvir_solver* s, const double* lower, const double* upper) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_bounds")) return refused;
  if (s->phase == Phase::awaiting) return refuse_during_solve(s, "talvir_set_bounds");
  const int status = check_bounds(s, lower, upper);
  if (status != TALVIR_OK) return status;
  for (int i = 0; i < s->n; ++i) {
    s->lower[i] = lower_bound_of(lower, i);
    s->upper[i] = upper_bound_of(upper, i);
  }
  return succeed(s);
}

TALVIR_API int talvir_set_start(talvir_solver* s, const double* x0) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (x0 == nullptr) return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_set_start: null start point");
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_start")) return refused;
  if (s->phase == Phase::awaiting) return refuse_during_solve(s, "talvir_set_start");
  const int bad = talvir_api::first_non_finite(x0, s->n);
  if (bad >= 0) {
    return fail(s, TALVIR_ERROR_BAD_VALUE, "talvir_set_start: coordinate %d of the start point is not finite",
                bad);
  }
  std::copy(x0, x0 + s->n, s->start.begin());
  s->start_given = true;
  return succeed(s);
}

TALVIR_API int talvir_set_variable_scales(talvir_solver* s, const double* scales) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_variable_scales")) return refused;
  if (s->phase == Phase::awaiting) return refuse_during_solve(s, "talvir_set_variable_scales");
  if (scales == nullptr) {
    std::fill(s->scales.begin(), s->scales.end(), 1.0);
    return succeed(s);
  }
  for (int i = 0; i < s->n; ++i) {
    if (!std::isfinite(scales[i]) || scales[i] == 0.0) {
      return fail(
          s, TALVIR_ERROR_BAD_VALUE,
          "talvir_set_variable_scales: the scale of variable %d is %g (it must be finite and non-zero)", i,
          scales[i]);
    }
  }
  std::copy(scales, scales + s->n, s->scales.begin());
  return succeed(s);
}

TALVIR_API int talvir_set_hessian_scale(talvir_solver* s, double scale) {
  return set_hessian_scale(s, scale, "talvir_set_hessian_scale");
}

TALVIR_API int talvir_set_objective_scale(talvir_solver* s, double scale) {
  return set_hessian_scale(s, scale, "talvir_set_objective_scale");
}

TALVIR_API int talvir_set_listing(talvir_solver* s, talvir_listing_fn sink, void* user) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_listing")) return refused;
  if (s->phase == Phase::awaiting) return refuse_during_solve(s, "talvir_set_listing");
  s->listing = sink;
  s->listing_user = user;
  return succeed(s);
}

TALVIR_API int talvir_get_error_message(const talvir_solver* s, const char** text) {
  if (s == nullptr || text == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  *text = s->error.c_str();
  return TALVIR_OK;
}

}  // extern "C"
