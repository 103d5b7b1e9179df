// The record behind a talvir_solver handle, and the helpers every API function uses.
//
// A handle owns everything of its solves: the problem data as set by the caller, its own parameter
// records, one core::SolveState (the engine's arrays, the evaluation record and its own engine record:
// the solve core's, which the plug-in's driver adapts too), its own unit table (listing sink, scratch store)
// and its results. Nothing on this path is process-wide.
//
// Phases: idle (no solve begun, or set-up changed since), awaiting (a request is pending: the caller
// evaluates and steps), ended (results available). Set-up is refused while awaiting.
//
//   fail(s, status, format, ...)   stores the formatted message as the handle's error and returns status
//   succeed(s)                     clears the error and returns TALVIR_OK
//   guarded(s, body)               runs body() (which returns a status); an exception becomes a status
//                                  (TALVIR_ERROR_NO_MEMORY) so that nothing crosses the C boundary
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "api/native_parameters.h"
#include "api/rows.h"
#include "core/parameter_table.h"
#include "core/solve_state.h"
#include "include/talvir/talvir.h"
#include "io/units.h"

namespace talvir_api {

enum class Phase { idle, awaiting, ended };

// What a finished solve reports; the arrays lie in the solver's block (sized at creation: ending a solve
// allocates nothing), c and lambda per caller's row.
struct Results {
  std::int32_t ending = TALVIR_ENDING_NONE;
  std::string message;
  vek::core::Array<double> x, c, lambda, z;
  double f = 0.0;
  double violation = 0.0;
  int iterations = 0;
};

}  // namespace talvir_api

struct talvir_solver {
  talvir_solver() = default;
  talvir_solver(const talvir_solver&) = delete;
  talvir_solver& operator=(const talvir_solver&) = delete;
  ~talvir_solver();

  int n = 0, m = 0;
  // The arrays of the problem data, the last accepted point and the results, carved out of two blocks
  // (one of doubles, one of 32-bit integers) when the solver is made: nothing is allocated later.
  std::unique_ptr<double[]> reals;
  std::unique_ptr<std::int32_t[]> integers;
  vek::core::Array<std::int32_t> kinds;         // m: TALVIR_EQUAL, _GREATER_EQUAL, _LESS_EQUAL
  vek::core::Array<double> lower, upper;        // n each; +-TALVIR_INFINITE_BOUND for none
  vek::core::Array<double> start;               // n
  vek::core::Array<double> scales;              // n, non-zero
  double objective_scale = 1.0;                 // D(N+1), the Hessian initialisation control
  bool warm_start = false;                      // talvir_set_warm_start: solves go on from the previous one
  bool warm_supplied = false;                   // talvir_set_warm_start_from: the next solve goes on from VF
  bool start_given = false;                     // talvir_set_start was called since the last solve began
  double sense = 1.0;                           // -1 when maximising: the engine minimises sense * f
  std::unique_ptr<talvir_api::RowMap> rows;     // two-sided constraints (talvir_create_ranged), else null
  vek::core::Array<std::int32_t> rows1, cols1;  // the Jacobian structure, 1-based (the driver's form): nnz
                                                // entries in room for the dense structure's m n
  vek::core::ParameterRecord parameters[talvir_api::kNativeParameterCount] = {};
  bool parameters_made = false;
  bool controls_stale = true;  // a parameter was stored since the engine controls were last taken

  talvir_listing_fn listing = nullptr;
  void* listing_user = nullptr;
  talvir_progress_fn progress = nullptr;
  void* progress_user = nullptr;
  std::atomic<bool> interrupt_requested{false};  // talvir_interrupt, from any thread or a signal handler
  std::chrono::steady_clock::time_point began;   // when the solve in progress began
  int reported = -1;                             // the last iteration handed to progress and log
  int log_lines = 0;                             // log lines of this solve (a header every 20)
  // "Log", "TimeLimit" and "MaxEvaluations", taken with the engine controls (take_progress_controls).
  bool log = false;
  double time_limit = 0.0;
  int max_evaluations = 0;
  vek::io::UnitTable units;  // this solver's units: the listing unit and the scratch store

  vek::core::SolveState run;  // engine arrays and record; run.evaluation holds the evaluation arrays
  talvir_api::Phase phase = talvir_api::Phase::idle;
  int request = TALVIR_REQUEST_NONE;  // pending while awaiting
  bool cannot_evaluate = false;       // talvir_cannot_evaluate was called for the pending request
  bool in_callback = false;           // talvir_solve is waiting for one of the caller's callbacks
  bool in_listing = false;            // the listing sink or the progress callback is running
  bool engine_called = false;         // the engine has run in this solve
  int value_evaluations = 0, derivative_evaluations = 0;
  vek::core::Array<double> accepted_x,
      accepted_c;  // the last accepted point with its values (per caller's row)
  double accepted_f = 0.0;
  talvir_api::Results results;

  mutable std::string error;
};

namespace talvir_api {

int fail(const talvir_solver* s, int status, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
int succeed(const talvir_solver* s);
// For calls that have no handle to keep a message in.
int fail_without_handle(int status);
// TALVIR_ERROR_OUT_OF_ORDER, with nothing changed, for a call that a listing sink may not make (every
// call but the getters), or TALVIR_OK when the sink is not running.
int refuse_in_listing(const talvir_solver* s, const char* function);

// The caller's constraint count and Jacobian entries (the engine's own unless the rows are two-sided).
inline int caller_m(const talvir_solver& s) {
  return s.rows ? s.rows->m : s.m;
}
inline int caller_nnz(const talvir_solver& s) {
  return static_cast<int>(s.rows ? s.rows->user_rows.size() : s.rows1.size());
}
// Entry k of the caller's Jacobian structure, 0-based.
inline void caller_entry(const talvir_solver& s, int k, int& row, int& column) {
  row = s.rows ? s.rows->user_rows[k] : s.rows1[k] - 1;
  column = s.rows ? s.rows->user_cols[k] : s.cols1[k] - 1;
}

template <class Body>
int guarded(const talvir_solver* s, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    // Only allocation can throw on this path; whatever it interrupted has been left unchanged.
    try {
      return fail(s, TALVIR_ERROR_NO_MEMORY, "memory could not be obtained");
    } catch (...) {
      return TALVIR_ERROR_NO_MEMORY;
    }
  }
}

// The first n values of `values` that are not finite: its index, or -1.
int first_non_finite(const double* values, int n);

// While alive: the solver's own unit table is the calling thread's current one, so everything the
// engine writes or stores goes there. The listing unit is connected to the solver's listing sink (when
// it has one) from the first engine call of a solve until end_listing at its end.
class ListingScope {
 public:
  explicit ListingScope(talvir_solver& s);
  ListingScope(const ListingScope&) = delete;
  ListingScope& operator=(const ListingScope&) = delete;

 private:
  vek::io::UnitScope scope_;
};
// Disconnects the listing unit, handing on an unfinished line.
void end_listing(talvir_solver& s);

// Progress (api/progress.cpp). report_progress hands iteration k (0: the start point) to the progress
// callback and the log once; false when the callback asked to stop. limit_reached gives the ending of
// a time or evaluation limit reached (the latter only when another values request would follow), or
// TALVIR_ENDING_NONE. log_summary ends the log with the solve's ending.
bool report_progress(talvir_solver& s, int iteration);
void take_progress_controls(talvir_solver& s);
// One text to the listing sink.
void to_sink(talvir_solver& s, const char* text);
std::int32_t limit_reached(const talvir_solver& s, bool values_next);
void log_summary(talvir_solver& s);

// Begins a solve (the first step): engine arrays from the problem data, the first request.
void begin_solve(talvir_solver& s);
// Ends the solve in progress with `ending`, filling the results.
void end_solve(talvir_solver& s, std::int32_t ending);

}  // namespace talvir_api
