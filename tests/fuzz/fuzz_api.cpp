// Fuzz target: the native C API (include/talvir/talvir.h) as a careless caller plays it. The bytes choose
// a sequence of at most 32 calls on small problems (n 1..4, m 0..3):
//   talvir_create (constraint kinds) and talvir_create_ranged (two sides, free rows), with good and bad
//     sizes, kinds and sides; talvir_memory_needed;
//   set-up with good and bad values: bounds, start, Jacobian structure (in range or not, repeated pairs,
//     reordered), variable scales, Hessian scale (by both names), maximisation, listing sink, progress
//     callback, parameters by name in any letter case (unknown ones too), by type and by text;
//   reverse communication: steps answered with the values of a fixed smooth family (quadratic objective,
//     linear-plus-quadratic constraints), with a NaN or an infinity, with talvir_cannot_evaluate or not
//     at all; talvir_stop and talvir_interrupt at any point;
//   talvir_solve and talvir_solve_with (the four callbacks or evaluate; records missing one, too short
//     or with both forms), whose callbacks answer, fail, stop or first call the API themselves, also
//     during a "CheckDerivatives" pass; talvir_check_derivatives; the getters; talvir_free at any point.
// From inside a callback talvir_free, talvir_step, talvir_solve and set-up must be refused; from inside
// the listing sink and the progress callback everything but the getters and talvir_interrupt.
// Invariants: every status is TALVIR_OK or a documented TALVIR_ERROR_ code, and one the call deserves; a
// refusal leaves a message and changes nothing the getters show (sizes, parameters, ending, results,
// counts, Jacobian nnz), and the next step goes on with the solve in progress or begins one by asking
// for everything at the start point moved into the bounds given; every point asked for lies within the
// bounds; listing lines are whole; every ending is one that accepted input can reach, has a text and a
// category, is the one the answers or an interrupt require (stopped, evaluation failed), and has
// readable results: x within the bounds, the largest violation that of x and its values, iterations
// within MaxIterations, evaluation counts those answered, finite values when converged; the results stay
// until the next solve begins; the derivative checker finds the family's exact derivatives right and
// changes nothing.
// TALVIR_FUZZ_VERBOSE=1 prints each call of the sequence and each ending (to study or make an input).
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "talvir/talvir.h"

namespace {

using talvir_fuzz::FuzzInput;

constexpr int kMaxCalls = 32;        // top-level calls of one input
constexpr int kMaxEngineCalls = 16;  // steps and callback calls of one input (then callbacks stop)
constexpr double kNoBound = TALVIR_INFINITE_BOUND;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

constexpr unsigned bit(int status) {
  return 1u << status;
}
constexpr unsigned kOk = bit(TALVIR_OK);
constexpr unsigned kOutOfOrder = bit(TALVIR_ERROR_OUT_OF_ORDER);

bool verbose() {
  static const bool on = std::getenv("TALVIR_FUZZ_VERBOSE") != nullptr;
  return on;
}

template <class T, std::size_t N>
T pick(FuzzInput& in, const T (&table)[N]) {
  return table[in.choice(static_cast<int>(N))];
}

// The problem family: f = sum_i w_i (x_i - t_i)^2 + coupling x_0 x_{n-1} and
// c_j = a_j.x + b_j + k_j |x|^2, the Jacobian values in the order of the structure in force. Row j asks
// lo_j <= c_j <= up_j (from its kind, or its two sides as the solver holds them).
struct Problem {
  int n = 0, m = 0;
  std::vector<double> w, t, a, b, k;
  double coupling = 0.0;
  std::vector<int> rows, cols;
  std::vector<double> lo, up;

  double objective(const double* x) const {
    double f = coupling * x[0] * x[n - 1];
    for (int i = 0; i < n; ++i) f += w[i] * (x[i] - t[i]) * (x[i] - t[i]);
    return f;
  }
  void gradient(const double* x, double* g) const {
    for (int i = 0; i < n; ++i) g[i] = 2.0 * w[i] * (x[i] - t[i]);
    g[0] += coupling * x[n - 1];
    g[n - 1] += coupling * x[0];
  }
  void constraints(const double* x, double* c) const {
    double sq = 0.0;
    for (int i = 0; i < n; ++i) sq += x[i] * x[i];
    for (int j = 0; j < m; ++j) {
      c[j] = b[j] + k[j] * sq;
      for (int i = 0; i < n; ++i) c[j] += a[j * n + i] * x[i];
    }
  }
  void jacobian(const double* x, double* values) const {
    for (std::size_t e = 0; e < rows.size(); ++e)
      values[e] = a[rows[e] * n + cols[e]] + 2.0 * k[rows[e]] * x[cols[e]];
  }
};

enum class Phase { idle, awaiting, ended };

// What the caller knows of its solver, and the state of the call in progress.
struct Model {
  explicit Model(FuzzInput& input) : in(input) {}
  FuzzInput& in;
  talvir_solver* s = nullptr;
  Problem p;
  std::vector<double> lower, upper, start;       // as the solver holds them (no bound: -+1e20)
  std::vector<double> solve_lower, solve_upper;  // those of the solve in progress or ended last
  Phase phase = Phase::idle;
  int request = TALVIR_REQUEST_NONE;  // pending while awaiting (reverse communication)
  bool cannot = false;                // talvir_cannot_evaluate was called for the request being answered
  int max_iterations = 0, iteration_bound = 0;  // MaxIterations, and its largest value in this solve
  int values = 0, derivatives = 0;              // value and derivative answers given in this solve
  const double* x = nullptr;                    // the evaluation arrays
  double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
  // Within talvir_solve: the first callback must be at the start point; once a callback stopped or
  // failed derivatives, no callback may follow (but the Jacobian after a gradient of the same request).
  bool in_solve = false, fresh = false, stopped = false, derivatives_failed = false, over = false;
  bool jacobian_may_follow = false;
  // A stop the solve must end with (talvir_interrupt before a step); an interrupt waiting for the next
  // step; a progress callback's stop (the step that called it ends the solve); the "CheckDerivatives"
  // calls still to come.
  bool stop_asked = false, interrupt_pending = false, progress_stopped = false;
  int checker_calls = 0;
  int engine_calls = 0;                         // steps and callback calls so far
  bool in_sink = false, sink_may_call = false;  // the listing sink is running; it may make one call
  bool in_progress = false;                     // the progress callback is running (as the sink)
  int progress_calls = 0, last_iteration = -1;  // in this solve
  std::vector<int> ended_ints;                  // the results read at the last ending
  std::vector<double> ended_reals;
  std::vector<double> ended_x;             // the final point of the last ending
  bool warm = false, start_given = false;  // warm starts on; talvir_set_start since the last solve
};

// ---- What the getters show --------------------------------------------------------------------------------

// Everything the result getters give, with their statuses (refusals before an ending).
struct Results {
  std::vector<int> statuses;
  int ending = -1, iterations = -1, values = -1, derivatives = -1;
  std::string message;
  double f = 0.0, violation = 0.0, sum = 0.0, threshold = 0.0, ratio = 0.0;
  std::vector<double> x, c, lambda, z;

  std::vector<int> ints() const {
    std::vector<int> all = statuses;
    all.insert(all.end(), {ending, iterations, values, derivatives});
    return all;
  }
  std::vector<double> reals() const {
    std::vector<double> all = {f, violation, sum, threshold, ratio};
    for (const auto* v : {&x, &c, &lambda, &z}) all.insert(all.end(), v->begin(), v->end());
    return all;
  }
};

Results read_results(const Model& md) {
  const talvir_solver* s = md.s;
  Results r;
  r.x.assign(md.p.n, 0.0);
  r.z = r.x;
  r.c.assign(md.p.m, 0.0);
  r.lambda = r.c;
  const char* message = nullptr;
  r.statuses = {talvir_get_ending(s, &r.ending),
                talvir_get_ending_message(s, &message),
                talvir_get_x(s, r.x.data()),
                talvir_get_objective(s, &r.f),
                talvir_get_constraints(s, r.c.data()),
                talvir_get_multipliers(s, r.lambda.data()),
                talvir_get_bound_multipliers(s, r.z.data()),
                talvir_get_max_violation(s, &r.violation),
                talvir_get_iterations(s, &r.iterations),
                talvir_get_evaluations(s, &r.values, &r.derivatives),
                talvir_get_convergence(s, &r.sum, &r.threshold, &r.ratio)};
  r.message = message != nullptr ? message : "(null)";
  return r;
}

// Doubles compared bit for bit (a NaN equals itself).
bool same(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

struct Definition {
  const char* name = nullptr;
  int type = 0;
  double minimum = 0.0, maximum = 0.0, default_number = 0.0;
  const char *default_text = nullptr, *options = nullptr;
};

const std::vector<Definition>& definitions() {
  static const std::vector<Definition> all = [] {
    std::vector<Definition> d;
    int count = 0;
    FUZZ_CHECK(talvir_parameter_count(&count) == TALVIR_OK && count > 0, "no parameter definitions");
    for (int k = 0; k < count; ++k) {
      Definition e;
      FUZZ_CHECK(talvir_parameter_info(k, &e.name, nullptr, &e.type, &e.minimum, &e.maximum,
                                       &e.default_number, &e.default_text, &e.options) == TALVIR_OK,
                 "a parameter definition could not be read");
      d.push_back(e);
    }
    return d;
  }();
  return all;
}

// Everything the getters show: statuses, numbers and texts in a fixed order.
struct Snapshot {
  std::vector<int> ints;
  std::vector<double> reals;
  std::vector<std::string> texts;
  bool operator==(const Snapshot& o) const {
    return ints == o.ints && texts == o.texts && same(reals, o.reals);
  }
};

Snapshot snapshot(const Model& md) {
  Snapshot shot;
  int ending = -1;
  shot.ints = {talvir_get_ending(md.s, &ending), ending};
  if (ending != TALVIR_ENDING_NONE) {  // results exist after an ending only (check_getters checks that)
    const Results r = read_results(md);
    shot = Snapshot{r.ints(), r.reals(), {r.message}};
  }
  int n = -1, m = -1, nnz = -1;
  shot.ints.insert(shot.ints.end(),
                   {talvir_get_sizes(md.s, &n, &m), talvir_get_jacobian_nnz(md.s, &nnz), n, m, nnz});
  for (const Definition& d : definitions()) {
    if (d.type == TALVIR_PARAMETER_TEXT) {
      const char* text = nullptr;
      shot.ints.push_back(talvir_get_text_parameter(md.s, d.name, &text));
      shot.texts.emplace_back(text != nullptr ? text : "(null)");
    } else {
      double value = 0.0;
      shot.ints.push_back(talvir_get_real_parameter(md.s, d.name, &value));
      shot.reals.push_back(value);
    }
  }
  return shot;
}

// ---- Calls and their statuses -----------------------------------------------------------------------------

// Makes a call on the solver whose status must be one of `allowed` (bits of statuses). A refusal must
// leave a message and change nothing the getters show; an acceptance clears the message.
template <class Call>
int call(const Model& md, unsigned allowed, Call body) {
  const Snapshot before = allowed != kOk ? snapshot(md) : Snapshot{};  // only a refusal is compared
  const int status = body();
  FUZZ_CHECK(status >= TALVIR_OK && status <= TALVIR_ERROR_MISSING_CALLBACK,
             "a call returned an undocumented status");
  if (verbose()) std::fprintf(stderr, "    status %d\n", status);
  FUZZ_CHECK((allowed >> status & 1u) != 0, "a call was answered with a status it does not deserve");
  const char* text = nullptr;
  FUZZ_CHECK(talvir_get_error_message(md.s, &text) == TALVIR_OK && text != nullptr,
             "no error message to read");
  FUZZ_CHECK((status == TALVIR_OK) == (*text == '\0'),
             "a refusal without a message, or a message after a success");
  if (status != TALVIR_OK) FUZZ_CHECK(snapshot(md) == before, "a refused call changed the solver");
  return status;
}

// The statuses a set-up call deserves: `allowed` with no solve in progress and outside the listing sink,
// else a refusal, TALVIR_ERROR_OUT_OF_ORDER or one of its own.
unsigned during_solve_refused(const Model& md, unsigned allowed) {
  if (md.phase != Phase::awaiting && !md.in_sink) return allowed;
  return (allowed & ~kOk) | kOutOfOrder;
}
unsigned in_sink_refused(const Model& md, unsigned allowed) {
  return md.in_sink ? (allowed & ~kOk) | kOutOfOrder : allowed;
}

bool all_finite(const double* v, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (!std::isfinite(v[i])) return false;
  return true;
}

bool within_bounds(const Model& md, const double* x) {
  for (int i = 0; i < md.p.n; ++i)
    if (!(x[i] >= md.solve_lower[i] && x[i] <= md.solve_upper[i])) return false;
  return true;
}

// x is the start point moved onto the nearer bound where it lies outside the bounds.
bool at_point(const Model& md, const double* x, const std::vector<double>& start) {
  for (int i = 0; i < md.p.n; ++i)
    if (x[i] != std::max(md.lower[i], std::min(md.upper[i], start[i]))) return false;
  return true;
}

// At the start point moved into the bounds; with warm starts on, the last final point may be the start
// instead (unless talvir_set_start came since; a solve whose engine never ran leaves the set start).
bool at_start(const Model& md, const double* x) {
  if (at_point(md, x, md.start)) return true;
  return md.warm && !md.start_given && md.ended_x.size() == md.start.size() && at_point(md, x, md.ended_x);
}

// ---- Endings ----------------------------------------------------------------------------------------------

// The documented endings; input the API accepted can reach all but 7, 8, 9 and 11 (faults of the library).
bool is_ending(int code) {
  constexpr int kEndings[] = {1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 20, 21, 22, 23, 24, 25};
  return std::find(std::begin(kEndings), std::end(kEndings), code) != std::end(kEndings);
}
bool reachable(int ending) {
  return is_ending(ending) && (ending < 7 || ending > 9) && ending != 11;
}

// The counts of a solve cut short may miss the request being answered when it was cut.
bool counts_agree(int counted, int answered, bool cut_short) {
  return counted == answered || (cut_short && counted == answered - 1);
}

// The largest violation of the bounds and the rows' sides at the final point (with its values).
double violation_at(const Model& md, const Results& r) {
  double v = 0.0;
  for (int i = 0; i < md.p.n; ++i) v = std::max({v, md.solve_lower[i] - r.x[i], r.x[i] - md.solve_upper[i]});
  for (int j = 0; j < md.p.m; ++j) v = std::max({v, md.p.lo[j] - r.c[j], r.c[j] - md.p.up[j]});
  return v;
}

void check_results(const Model& md, const Results& r) {
  for (const int status : r.statuses)
    FUZZ_CHECK(status == TALVIR_OK, "a result getter refused after an ending");
  FUZZ_CHECK(!r.message.empty(), "an ending without a message");
  FUZZ_CHECK(within_bounds(md, r.x.data()), "the final point lies outside the bounds");
  FUZZ_CHECK(r.iterations >= 0 && r.iterations <= md.iteration_bound, "more iterations than MaxIterations");
  FUZZ_CHECK(md.progress_calls <= r.iterations + 1, "more progress calls than iterations and the start");
  if (all_finite(r.x.data(), r.x.size()) && all_finite(r.c.data(), r.c.size()))
    FUZZ_CHECK(r.violation == violation_at(md, r), "the largest violation is not that of the final point");
  const bool cut_short = r.ending == TALVIR_ENDING_STOPPED || r.ending == TALVIR_ENDING_EVALUATION_FAILED;
  FUZZ_CHECK(
      counts_agree(r.values, md.values, cut_short) && counts_agree(r.derivatives, md.derivatives, cut_short),
      "the evaluation counts differ from the answers given");
  if (r.ending == TALVIR_ENDING_CONVERGED) {
    const std::vector<double> all = r.reals();
    FUZZ_CHECK(all_finite(all.data(), all.size()), "a converged solve with results that are not finite");
  }
}

// The solve has ended (with `expected`, unless it is TALVIR_ENDING_NONE): the ending and its results.
void check_ending(Model& md, int expected) {
  const Results r = read_results(md);
  if (verbose())
    std::fprintf(stderr, "  ending %d after %d iterations: %s\n", r.ending, r.iterations, r.message.c_str());
  FUZZ_CHECK(reachable(r.ending), "an ending that accepted input cannot reach");
  FUZZ_CHECK(expected == TALVIR_ENDING_NONE || r.ending == expected,
             "an ending other than the answers require");
  const char* text = nullptr;
  int category = -1;
  FUZZ_CHECK(talvir_ending_text(r.ending, &text) == TALVIR_OK && text != nullptr && *text != '\0',
             "an ending without a text");
  FUZZ_CHECK(talvir_ending_category(r.ending, &category) == TALVIR_OK && category > TALVIR_CATEGORY_NONE &&
                 category <= TALVIR_CATEGORY_UNBOUNDED,
             "an ending without a category");
  FUZZ_CHECK((category == TALVIR_CATEGORY_SOLVED) == (r.ending == TALVIR_ENDING_CONVERGED) &&
                 (category == TALVIR_CATEGORY_STOPPED) == (r.ending == TALVIR_ENDING_STOPPED),
             "an ending in another category");
  check_results(md, r);
  md.ended_ints = r.ints();
  md.ended_reals = r.reals();
  md.ended_x = r.x;
}

// The statuses sizes and kinds deserve (talvir_create, talvir_memory_needed).
unsigned deserved_problem(int n, int m, const int* kinds) {
  unsigned deserved = 0;
  if (n < 1 || n == INT_MAX || m < 0) deserved |= bit(TALVIR_ERROR_BAD_SIZE);
  if (m > 0 && kinds == nullptr) deserved |= bit(TALVIR_ERROR_NULL_ARGUMENT);
  for (int j = 0; j < m && kinds != nullptr; ++j)
    if (kinds[j] < -1 || kinds[j] > 1) deserved |= bit(TALVIR_ERROR_BAD_VALUE);
  return deserved == 0 ? kOk : deserved;
}

// Sizes, usually good, and m kinds, sometimes bad or not given.
void read_sizes(FuzzInput& in, int& n, int& m, std::vector<int>& kinds, bool& no_kinds) {
  constexpr int kBadKinds[] = {2, -2, 5, INT_MIN}, kBadSizes[] = {0, -1, INT_MIN, INT_MAX};
  n = in.integer(1, 4);
  m = in.integer(0, 3);
  kinds.resize(m);
  for (int& kind : kinds) kind = in.choice(16) == 1 ? pick(in, kBadKinds) : in.integer(-1, 1);
  const int odd = in.choice(16);
  if (odd == 1) n = pick(in, kBadSizes);
  if (odd == 2) m = -1;
  no_kinds = odd == 3;
}

// ---- Set-up -----------------------------------------------------------------------------------------------

void set_bounds(Model& md) {
  FuzzInput& in = md.in;
  const int n = md.p.n;
  std::vector<double> lower(n), upper(n);
  for (int i = 0; i < n; ++i) {
    lower[i] = in.real_or_special(-5.0, 1.0);
    upper[i] = in.choice(8) == 1 ? lower[i] : in.real_or_special(-1.0, 5.0);
  }
  const int nulls = in.choice(8);
  const double* lo = nulls == 1 ? nullptr : lower.data();
  const double* up = nulls == 2 ? nullptr : upper.data();
  bool good = true;
  for (int i = 0; i < n; ++i) {
    const double l = lo != nullptr ? lo[i] : -kInf, u = up != nullptr ? up[i] : kInf;
    good = good && !std::isnan(l) && !std::isnan(u) && l < kNoBound && u > -kNoBound && l <= u;
  }
  const unsigned allowed = during_solve_refused(md, good ? kOk : bit(TALVIR_ERROR_BAD_VALUE));
  if (call(md, allowed, [&] { return talvir_set_bounds(md.s, lo, up); }) != TALVIR_OK) return;
  for (int i = 0; i < n; ++i) {
    md.lower[i] = lo != nullptr && lo[i] > -kNoBound ? lo[i] : -kNoBound;
    md.upper[i] = up != nullptr && up[i] < kNoBound ? up[i] : kNoBound;
  }
}

void set_start(Model& md) {
  std::vector<double> x0(md.p.n);
  for (double& v : x0) v = md.in.real_or_special(-6.0, 6.0);
  const double* given = md.in.choice(16) == 1 ? nullptr : x0.data();
  const unsigned deserved = given == nullptr                   ? bit(TALVIR_ERROR_NULL_ARGUMENT)
                            : all_finite(x0.data(), x0.size()) ? kOk
                                                               : bit(TALVIR_ERROR_BAD_VALUE);
  if (call(md, during_solve_refused(md, deserved), [&] { return talvir_set_start(md.s, given); }) ==
      TALVIR_OK) {
    md.start = x0;
    md.start_given = true;
  }
}

// The statuses a Jacobian structure deserves (every fault it has may be the one named).
unsigned deserved_structure(const Model& md, int nnz, const int* rows, const int* cols) {
  const long long dense = static_cast<long long>(md.p.m) * md.p.n;
  if (nnz < 0 || nnz > dense) return bit(TALVIR_ERROR_BAD_SIZE) | bit(TALVIR_ERROR_BAD_VALUE);
  if (nnz > 0 && (rows == nullptr || cols == nullptr)) return bit(TALVIR_ERROR_NULL_ARGUMENT);
  std::vector<long long> keys;
  for (int e = 0; e < nnz; ++e) {
    if (rows[e] < 0 || rows[e] >= md.p.m || cols[e] < 0 || cols[e] >= md.p.n)
      return bit(TALVIR_ERROR_BAD_VALUE);
    keys.push_back(static_cast<long long>(rows[e]) * md.p.n + cols[e]);
  }
  std::sort(keys.begin(), keys.end());
  return std::adjacent_find(keys.begin(), keys.end()) == keys.end() ? kOk : bit(TALVIR_ERROR_BAD_VALUE);
}

// A structure of some of the dense entries, in order or not, sometimes with an entry out of range, a
// repeated pair, more pairs than m n, a negative count or null arrays.
void set_structure(Model& md) {
  FuzzInput& in = md.in;
  const int n = md.p.n, m = md.p.m;
  std::vector<int> rows, cols;
  for (int j = 0; j < m; ++j)
    for (int i = 0; i < n; ++i)
      if (in.choice(4) != 1) rows.push_back(j), cols.push_back(i);
  const int odd = in.choice(16);
  if (odd == 1 && !rows.empty()) rows[in.choice(static_cast<int>(rows.size()))] = in.choice(2) == 0 ? -1 : m;
  if (odd == 2 && !cols.empty()) cols[in.choice(static_cast<int>(cols.size()))] = in.choice(2) == 0 ? -1 : n;
  if (odd == 3 && !rows.empty()) rows.push_back(rows[0]), cols.push_back(cols[0]);
  if (odd == 4) std::reverse(rows.begin(), rows.end()), std::reverse(cols.begin(), cols.end());
  if (odd == 5) rows.assign(n * m + 1, 0), cols.assign(n * m + 1, 0);
  const int nnz = odd == 6 ? -1 : static_cast<int>(rows.size());
  const int* r = odd == 7 ? nullptr : rows.data();
  const int* c = odd == 7 ? nullptr : cols.data();
  const unsigned allowed = during_solve_refused(md, deserved_structure(md, nnz, r, c));
  if (call(md, allowed, [&] { return talvir_set_jacobian_structure(md.s, nnz, r, c); }) != TALVIR_OK) return;
  md.p.rows = rows;
  md.p.cols = cols;
}

void set_scales(Model& md) {
  std::vector<double> scales(md.p.n);
  for (double& v : scales) v = md.in.real_or_special(-3.0, 3.0);
  const bool null = md.in.choice(4) == 1;
  bool good = true;
  for (const double v : scales) good = good && std::isfinite(v) && v != 0.0;
  const unsigned allowed = during_solve_refused(md, null || good ? kOk : bit(TALVIR_ERROR_BAD_VALUE));
  call(md, allowed, [&] { return talvir_set_variable_scales(md.s, null ? nullptr : scales.data()); });
}

void set_objective_scale(Model& md) {
  const double h0 = md.in.choice(8) == 1 ? 1.0e30 : md.in.real_or_special(-2.0, 3.0);
  const bool good = std::isfinite(h0) && h0 < 1.0e30;
  const auto set = md.in.choice(2) == 0 ? talvir_set_hessian_scale : talvir_set_objective_scale;
  call(md, during_solve_refused(md, good ? kOk : bit(TALVIR_ERROR_BAD_VALUE)), [&] { return set(md.s, h0); });
}

void set_maximize(Model& md) {
  constexpr int kSenses[] = {0, 1, -7};
  const int maximize = pick(md.in, kSenses);
  call(md, during_solve_refused(md, kOk), [&] { return talvir_set_maximize(md.s, maximize); });
}

// Warm starts: on or off; from the solver itself (refused); between the solver and a new one made with
// its rows. The new one may go on from the solver once a solve of it has ended (the sizes agree unless
// one of the two has two-sided rows the other has not), and is then freed unsolved; the solver can never
// go on from the new one, which has no ended solve.
void warm_start(Model& md) {
  const int on = md.in.choice(3) - 1;
  if (call(md, during_solve_refused(md, kOk), [&] { return talvir_set_warm_start(md.s, on); }) == TALVIR_OK)
    md.warm = on != 0;
  call(md, during_solve_refused(md, bit(TALVIR_ERROR_BAD_VALUE)),
       [&] { return talvir_set_warm_start_from(md.s, md.s); });
  talvir_solver* other = nullptr;
  if (talvir_create_ranged(md.p.n, md.p.m, md.p.lo.data(), md.p.up.data(), &other) != TALVIR_OK) return;
  const unsigned deserved =
      md.phase == Phase::ended ? kOk | kOutOfOrder | bit(TALVIR_ERROR_BAD_SIZE) : kOutOfOrder;
  const int status = talvir_set_warm_start_from(other, md.s);
  const char* text = nullptr;
  FUZZ_CHECK((deserved >> status & 1u) != 0 && talvir_get_error_message(other, &text) == TALVIR_OK &&
                 (status == TALVIR_OK) == (*text == '\0'),
             "talvir_set_warm_start_from answered otherwise than the solvers' states deserve");
  call(md, kOutOfOrder, [&] { return talvir_set_warm_start_from(md.s, other); });
  talvir_free(other);
}

// ---- Parameters -------------------------------------------------------------------------------------------

constexpr int kIntegers[] = {1, 0, -1, 2, 5, 12, 30, 50, 100001, INT_MAX, INT_MIN};
constexpr double kReals[] = {0.5, 0.0, -0.0, -1.0, 1e-9, 1e-3, 1.0, 2.5, 30.0, 1e11, kNaN, kInf};
constexpr const char* kTexts[] = {"Normal", "Errors Only", "errors ONLY", "Faithful",    "robust", "Robust ",
                                  "",       "12",          "40",          "1e-8",        "0.25",   "abc",
                                  "7x",     " 3",          "-1",          "99999999999", "1e400",  "nan",
                                  "0x10"};
constexpr const char* kUnknownNames[] = {"MaxIteration", "", "Max Iterations", "OptTol "};

// A parameter name: a definition's in any letter case (d is set), an unknown one, or null.
const char* pick_name(FuzzInput& in, std::string& buffer, const Definition*& d) {
  const std::vector<Definition>& defs = definitions();
  const int count = static_cast<int>(defs.size());
  const int k = in.choice(count + 2);
  d = nullptr;
  if (k == count) return nullptr;
  if (k > count) return buffer = pick(in, kUnknownNames), buffer.c_str();
  d = &defs[k];
  buffer = d->name;
  const int letter_case = in.choice(4);
  for (char& ch : buffer)
    ch = static_cast<char>(letter_case == 1 ? std::toupper(ch) : letter_case == 2 ? std::tolower(ch) : ch);
  return buffer.c_str();
}

bool in_range(const Definition& d, double value) {
  return value >= d.minimum && value <= d.maximum;
}

// "PrintLevel" takes any text; the other text parameters one of their options, in any letter case.
bool is_option(const Definition& d, const char* text) {
  if (std::strcmp(d.name, "PrintLevel") == 0) return true;
  const std::string options = d.options != nullptr ? d.options : "";
  for (std::size_t start = 0, stop; (stop = options.find(';', start)) != std::string::npos; start = stop + 1)
    if (strcasecmp(options.substr(start, stop - start).c_str(), text) == 0) return true;
  return false;
}

struct ParameterCall {
  const char* name;
  const Definition* d;
  int how;  // 0 integer setter, 1 real setter, 2 text setter, 3 from text
  int integer;
  double real;
  const char* text;
};

unsigned deserved_parameter(const ParameterCall& pc) {
  if (pc.name == nullptr) return bit(TALVIR_ERROR_NULL_ARGUMENT);
  if (pc.d == nullptr) return bit(TALVIR_ERROR_UNKNOWN_PARAMETER);
  const Definition& d = *pc.d;
  const unsigned range = bit(TALVIR_ERROR_PARAMETER_RANGE), type = bit(TALVIR_ERROR_PARAMETER_TYPE);
  const bool text_type = d.type == TALVIR_PARAMETER_TEXT;
  if (pc.how == 0) return text_type ? type : in_range(d, pc.integer) ? kOk : range;
  if (pc.how == 1) {
    if (text_type) return type;
    if (d.type == TALVIR_PARAMETER_INTEGER && !(pc.real >= INT_MIN && pc.real <= INT_MAX)) return range;
    if (d.type == TALVIR_PARAMETER_INTEGER && pc.real != std::floor(pc.real)) return type;
    return in_range(d, pc.real) ? kOk : range;
  }
  const unsigned null = pc.text == nullptr ? bit(TALVIR_ERROR_NULL_ARGUMENT) : 0u;
  if (!text_type) return null | type | (pc.how == 3 && pc.text != nullptr ? kOk | range : 0u);
  return null != 0u ? null : is_option(d, pc.text) ? kOk : range;
}

int make_parameter_call(talvir_solver* s, const ParameterCall& pc) {
  switch (pc.how) {
    case 0:
      return talvir_set_integer_parameter(s, pc.name, pc.integer);
    case 1:
      return talvir_set_real_parameter(s, pc.name, pc.real);
    case 2:
      return talvir_set_text_parameter(s, pc.name, pc.text);
    default:
      return talvir_set_parameter(s, pc.name, pc.text);
  }
}

// A value stored by a typed setter reads back as it was given (texts in any letter case).
void check_read_back(const Model& md, const ParameterCall& pc) {
  if (pc.how == 3) return;
  if (pc.d->type == TALVIR_PARAMETER_TEXT) {
    const char* text = nullptr;
    FUZZ_CHECK(talvir_get_text_parameter(md.s, pc.d->name, &text) == TALVIR_OK && text != nullptr &&
                   strcasecmp(text, pc.text) == 0,
               "a text parameter reads back another value");
    return;
  }
  double value = kNaN;
  FUZZ_CHECK(talvir_get_real_parameter(md.s, pc.d->name, &value) == TALVIR_OK &&
                 value == (pc.how == 0 ? pc.integer : pc.real),
             "a parameter reads back another value");
}

// Every value offered keeps MaxIterations at 50 or below when it is accepted.
void set_parameter(Model& md) {
  FuzzInput& in = md.in;
  std::string name;
  ParameterCall pc{};
  pc.name = pick_name(in, name, pc.d);
  pc.how = in.choice(4);
  pc.integer = pick(in, kIntegers);
  pc.real = pick(in, kReals);
  pc.text = in.choice(16) == 1 ? nullptr : pick(in, kTexts);
  const unsigned allowed = in_sink_refused(md, deserved_parameter(pc));
  if (call(md, allowed, [&] { return make_parameter_call(md.s, pc); }) != TALVIR_OK) return;
  check_read_back(md, pc);
  FUZZ_CHECK(talvir_get_integer_parameter(md.s, "MaxIterations", &md.max_iterations) == TALVIR_OK,
             "MaxIterations cannot be read");
  md.iteration_bound = std::max(md.iteration_bound, md.max_iterations);
}

void on_listing(const char* text, void* user);

void set_listing(Model& md) {
  const bool none = md.in.choice(4) == 1;
  call(md, during_solve_refused(md, kOk),
       [&] { return talvir_set_listing(md.s, none ? nullptr : on_listing, &md); });
}

// ---- Reverse communication --------------------------------------------------------------------------------

void begin_solve(Model& md) {
  md.phase = Phase::awaiting;
  md.solve_lower = md.lower;
  md.solve_upper = md.upper;
  md.values = md.derivatives = 0;
  md.iteration_bound = md.max_iterations;
  md.cannot = md.stop_asked = md.interrupt_pending = md.progress_stopped = false;  // interrupts dropped
  md.progress_calls = 0;
  md.last_iteration = -1;
}

void cannot_evaluate(Model& md) {
  const bool allowed = md.phase == Phase::awaiting && !md.in_sink;
  if (call(md, allowed ? kOk : kOutOfOrder, [&] { return talvir_cannot_evaluate(md.s); }) == TALVIR_OK)
    md.cannot = true;
}

void stop(Model& md) {
  const bool allowed = md.phase == Phase::awaiting && !md.in_sink;
  if (call(md, allowed ? kOk : kOutOfOrder, [&] { return talvir_stop(md.s); }) != TALVIR_OK) return;
  md.phase = Phase::ended;
  md.cannot = false;
  if (md.in_solve) {
    md.stopped = md.over = true;  // talvir_solve returns and its ending is checked there
    return;
  }
  check_ending(md, TALVIR_ENDING_STOPPED);
}

// Allowed at any time (from the listing sink as well, where every other call but the getters is refused:
// either answer is taken); with a solve in progress its next step ends it.
void interrupt(Model& md) {
  const unsigned allowed = md.in_sink && !md.in_progress ? kOk | kOutOfOrder : kOk;
  if (call(md, allowed, [&] { return talvir_interrupt(md.s); }) != TALVIR_OK || md.phase != Phase::awaiting)
    return;
  md.interrupt_pending = true;
  if (md.in_solve && !md.in_sink) md.stop_asked = true;  // from a callback: a step follows it
}

void poison(Model& md) {
  FuzzInput& in = md.in;
  const double bad = in.choice(2) == 0 ? kNaN : -kInf;
  const int nnz = static_cast<int>(md.p.rows.size());
  switch (in.choice(4)) {
    case 0:
      *md.f = bad;
      break;
    case 1:
      if (md.p.m > 0) md.c[in.choice(md.p.m)] = bad;
      break;
    case 2:
      md.g[in.choice(md.p.n)] = bad;
      break;
    default:
      if (nnz > 0) md.jac[in.choice(nnz)] = bad;
      break;
  }
}

// Answers the pending request through the evaluation arrays: the problem's values, sometimes with a
// NaN or an infinity in one place, sometimes talvir_cannot_evaluate, sometimes nothing at all. True when
// the answer must end the solve with TALVIR_ENDING_EVALUATION_FAILED (derivatives that cannot be
// evaluated, or values at the start point).
bool answer(Model& md) {
  const Problem& p = md.p;
  const int how = md.in.choice(16);
  if (how == 1) cannot_evaluate(md);
  const bool write = how != 1 && how != 2;
  if (write && (md.request & TALVIR_REQUEST_VALUES)) {
    *md.f = p.objective(md.x);
    if (p.m > 0) p.constraints(md.x, md.c);
  }
  if (write && (md.request & TALVIR_REQUEST_DERIVATIVES)) {
    p.gradient(md.x, md.g);
    if (p.m > 0) p.jacobian(md.x, md.jac);
  }
  if (how == 3) poison(md);
  const bool values_bad = md.cannot || !std::isfinite(*md.f) || !all_finite(md.c, p.m);
  const bool derivatives_bad = md.cannot || !all_finite(md.g, p.n) || !all_finite(md.jac, p.rows.size());
  return ((md.request & TALVIR_REQUEST_DERIVATIVES) && derivatives_bad) ||
         (md.request == TALVIR_REQUEST_ALL && values_bad);
}

// After a step that handed an answer on: the next request, or the ending that an interrupt or the answer
// required (any after a progress callback's stop).
void after_answer(Model& md, int request, bool fails, bool interrupted) {
  md.values += (md.request & TALVIR_REQUEST_VALUES) != 0;
  md.derivatives += (md.request & TALVIR_REQUEST_DERIVATIVES) != 0;
  md.cannot = false;
  const int required = interrupted ? TALVIR_ENDING_STOPPED
                       : fails     ? TALVIR_ENDING_EVALUATION_FAILED
                                   : TALVIR_ENDING_NONE;
  FUZZ_CHECK((required == TALVIR_ENDING_NONE && !md.progress_stopped) || request == TALVIR_REQUEST_NONE,
             "the solve went on after an answer, an interrupt or a progress stop that must end it");
  if (request == TALVIR_REQUEST_NONE) {
    md.phase = Phase::ended;
    check_ending(md, required);
    return;
  }
  FUZZ_CHECK(request == TALVIR_REQUEST_VALUES || request == TALVIR_REQUEST_DERIVATIVES,
             "a step within a solve made an undocumented request");
  FUZZ_CHECK(within_bounds(md, md.x), "a point asked for lies outside the bounds");
  md.request = request;
}

void step_once(Model& md) {
  if (md.in.choice(32) == 1)
    call(md, bit(TALVIR_ERROR_NULL_ARGUMENT), [&] { return talvir_step(md.s, nullptr); });
  const bool fresh = md.phase != Phase::awaiting;
  const bool interrupted = !fresh && md.interrupt_pending;
  md.interrupt_pending = false;
  const bool fails = !fresh && answer(md);
  int request = -1;
  call(md, kOk, [&] { return talvir_step(md.s, &request); });
  if (!fresh) return after_answer(md, request, fails, interrupted);
  begin_solve(md);
  FUZZ_CHECK(request == TALVIR_REQUEST_ALL && at_start(md, md.x),
             "a solve began otherwise than by asking for everything at the start point");
  md.start_given = false;
  md.request = request;
}

// A run of steps: a few, or until the solve ends (within the input's budget).
void run_steps(Model& md) {
  constexpr int kCounts[] = {kMaxEngineCalls, 1, 2, 3, 5, 8, 13, 21};
  const int count = pick(md.in, kCounts);
  for (int k = 0; k < count && md.engine_calls < kMaxEngineCalls; ++k) {
    ++md.engine_calls;
    step_once(md);
    if (md.phase == Phase::ended) return;
  }
}

// ---- The callback driver ----------------------------------------------------------------------------------

enum class Part { objective, constraints, gradient, jacobian };

void call_from_inside(Model& md);
int on_objective(int n, const double* x, double* f, void* user);
int on_constraints(int n, int m, const double* x, double* c, void* user);
int on_gradient(int n, const double* x, double* g, void* user);
int on_jacobian(int n, int m, int nnz, const double* x, double* values, void* user);

void inner_free(Model& md) {
  call(md, kOutOfOrder, [&] { return talvir_free(md.s); });
}
void inner_step(Model& md) {
  int request = 0;
  call(md, kOutOfOrder, [&] { return talvir_step(md.s, &request); });
}
void inner_solve(Model& md) {
  call(md, kOutOfOrder,
       [&] { return talvir_solve(md.s, on_objective, on_constraints, on_gradient, on_jacobian, &md); });
}

struct Action {
  const char* name;
  void (*run)(Model&);
};

// A call of the "CheckDerivatives" pass that a new callback solve makes first, at points that may lie
// outside the bounds: exact answers, not counted as evaluations; talvir_free, talvir_step and
// talvir_solve from inside are refused as from any callback.
int checker_answer(Model& md, int request, const double* x, double* f, double* c, double* g, double* jac) {
  const Problem& p = md.p;
  --md.checker_calls;
  if ((request & TALVIR_REQUEST_VALUES) && f != nullptr) *f = p.objective(x);
  if ((request & TALVIR_REQUEST_VALUES) && c != nullptr) p.constraints(x, c);
  if ((request & TALVIR_REQUEST_DERIVATIVES) && g != nullptr) p.gradient(x, g);
  if ((request & TALVIR_REQUEST_DERIVATIVES) && jac != nullptr) p.jacobian(x, jac);
  constexpr Action kRefused[] = {{"free", inner_free}, {"step", inner_step}, {"solve", inner_solve}};
  if (md.in.choice(8) != 1) return TALVIR_CALLBACK_OK;
  const Action& a = pick(md.in, kRefused);
  if (verbose()) std::fprintf(stderr, "    from inside the derivative check: %s\n", a.name);
  a.run(md);
  return TALVIR_CALLBACK_OK;
}

// A new solve begins at its first callback: a "CheckDerivatives" pass comes before, while the results of
// the solve before are still there.
void check_callback(Model& md, Part part, int n, const double* x) {
  FUZZ_CHECK(md.in_solve, "a callback outside talvir_solve");
  if (md.fresh && md.phase != Phase::awaiting) begin_solve(md);
  FUZZ_CHECK(!md.over || (part == Part::jacobian && md.jacobian_may_follow),
             "a callback after its solve was stopped or its derivatives failed");
  md.jacobian_may_follow = false;
  FUZZ_CHECK(n == md.p.n && x != nullptr, "a callback with another n or no point");
  FUZZ_CHECK(md.fresh ? at_start(md, x) : within_bounds(md, x),
             "a callback asked at a point outside the bounds, or the solve did not begin at the start point");
  if (md.fresh) md.start_given = false;
  md.fresh = false;
}

void write(const Problem& p, Part part, const double* x, double* out) {
  switch (part) {
    case Part::objective:
      *out = p.objective(x);
      break;
    case Part::constraints:
      p.constraints(x, out);
      break;
    case Part::gradient:
      p.gradient(x, out);
      break;
    case Part::jacobian:
      p.jacobian(x, out);
      break;
  }
}

std::size_t count_of(const Problem& p, Part part) {
  constexpr std::size_t kOne = 1;
  return part == Part::objective     ? kOne
         : part == Part::constraints ? static_cast<std::size_t>(p.m)
         : part == Part::gradient    ? static_cast<std::size_t>(p.n)
                                     : p.rows.size();
}

// What the callback's result means for the rest of the solve.
int finish_callback(Model& md, Part part, int result, bool non_finite) {
  if (result != TALVIR_CALLBACK_OK && result != TALVIR_CALLBACK_CANNOT_EVALUATE) {
    md.stopped = md.over = true;  // any result but these two stops the solve
    return result;
  }
  const bool derivative = part == Part::gradient || part == Part::jacobian;
  if (derivative && (result == TALVIR_CALLBACK_CANNOT_EVALUATE || non_finite || md.cannot)) {
    md.derivatives_failed = md.over = true;
    md.jacobian_may_follow = part == Part::gradient && result == TALVIR_CALLBACK_OK && md.p.m > 0;
  }
  return result;
}

// Checks one callback call and answers it: the problem's values, or a failure, a stop (also by an
// unknown result), a NaN or an infinity written, or first a call of the API from inside the callback.
int answer_callback(Model& md, Part part, int n, const double* x, double* out) {
  check_callback(md, part, n, x);
  md.values += part == Part::objective;
  md.derivatives += part == Part::gradient;
  if (++md.engine_calls > kMaxEngineCalls) return finish_callback(md, part, TALVIR_CALLBACK_STOP, false);
  md.cannot = false;
  const int how = md.in.choice(16);
  if (how == 5) {
    call_from_inside(md);
    if (md.stopped) return TALVIR_CALLBACK_OK;  // it called talvir_stop: the result is not read
  }
  write(md.p, part, x, out);
  const std::size_t count = count_of(md.p, part);
  if (how == 4 && count > 0) out[md.in.choice(static_cast<int>(count))] = md.in.choice(2) == 0 ? kNaN : kInf;
  constexpr int kUnknownResults[] = {3, -1, 1000};
  const int result = how == 1   ? TALVIR_CALLBACK_CANNOT_EVALUATE
                     : how == 2 ? TALVIR_CALLBACK_STOP
                     : how == 3 ? pick(md.in, kUnknownResults)
                                : TALVIR_CALLBACK_OK;
  return finish_callback(md, part, result, !all_finite(out, count));
}

int on_objective(int n, const double* x, double* f, void* user) {
  Model& md = *static_cast<Model*>(user);
  if (md.checker_calls > 0) return checker_answer(md, TALVIR_REQUEST_VALUES, x, f, nullptr, nullptr, nullptr);
  return answer_callback(md, Part::objective, n, x, f);
}
int on_constraints(int n, int m, const double* x, double* c, void* user) {
  Model& md = *static_cast<Model*>(user);
  FUZZ_CHECK(m == md.p.m && m > 0, "the constraints callback with another m");
  if (md.checker_calls > 0) return checker_answer(md, TALVIR_REQUEST_VALUES, x, nullptr, c, nullptr, nullptr);
  return answer_callback(md, Part::constraints, n, x, c);
}
int on_gradient(int n, const double* x, double* g, void* user) {
  Model& md = *static_cast<Model*>(user);
  if (md.checker_calls > 0)
    return checker_answer(md, TALVIR_REQUEST_DERIVATIVES, x, nullptr, nullptr, g, nullptr);
  return answer_callback(md, Part::gradient, n, x, g);
}
int on_jacobian(int n, int m, int nnz, const double* x, double* values, void* user) {
  Model& md = *static_cast<Model*>(user);
  FUZZ_CHECK(m == md.p.m && m > 0 && nnz == static_cast<int>(md.p.rows.size()),
             "the Jacobian callback with another m or nnz");
  if (md.checker_calls > 0)
    return checker_answer(md, TALVIR_REQUEST_DERIVATIVES, x, nullptr, nullptr, nullptr, values);
  return answer_callback(md, Part::jacobian, n, x, values);
}

// One evaluate callback answers as the four would, in their order.
int on_evaluate(int request, int n, int m, int nnz, const double* x, double* f, double* c, double* g,
                double* jac, void* user) {
  Model& md = *static_cast<Model*>(user);
  FUZZ_CHECK(request >= TALVIR_REQUEST_VALUES && request <= TALVIR_REQUEST_ALL && m == md.p.m &&
                 nnz == static_cast<int>(md.p.rows.size()) && (c != nullptr) == (m > 0) &&
                 (jac != nullptr) == (m > 0),
             "the evaluate callback with another request, m, nnz or arrays");
  if (md.checker_calls > 0) return checker_answer(md, request, x, f, c, g, jac);
  int result = TALVIR_CALLBACK_OK;
  const auto next = [&](Part part, double* out) {
    if (result == TALVIR_CALLBACK_OK && !md.stopped) result = answer_callback(md, part, n, x, out);
  };
  if (request & TALVIR_REQUEST_VALUES) next(Part::objective, f);
  if ((request & TALVIR_REQUEST_VALUES) && m > 0) next(Part::constraints, c);
  if (request & TALVIR_REQUEST_DERIVATIVES) next(Part::gradient, g);
  if ((request & TALVIR_REQUEST_DERIVATIVES) && m > 0) next(Part::jacobian, jac);
  return result;
}

// What a callback record deserves (talvir_solve takes the four of it).
unsigned deserved_callbacks(const Model& md, const talvir_callbacks& cb) {
  if (cb.size < sizeof cb) return bit(TALVIR_ERROR_BAD_VALUE);
  const bool four = cb.objective || cb.constraints || cb.gradient || cb.jacobian;
  if (cb.evaluate != nullptr) return four ? bit(TALVIR_ERROR_BAD_VALUE) : kOk;
  const bool missing = !cb.objective || !cb.gradient || (md.p.m > 0 && (!cb.constraints || !cb.jacobian));
  return missing ? bit(TALVIR_ERROR_MISSING_CALLBACK) : kOk;
}

// The callbacks of one call: the four or evaluate alone, sometimes one missing (m = 0 needs neither
// constraints nor Jacobian), evaluate beside one of the four, or a record too short.
talvir_callbacks pick_callbacks(Model& md, bool with_record) {
  talvir_callbacks cb{sizeof cb, on_objective, on_constraints, on_gradient, on_jacobian, nullptr, &md};
  if (with_record && md.in.choice(2) == 1)
    cb = talvir_callbacks{sizeof cb, nullptr, nullptr, nullptr, nullptr, on_evaluate, &md};
  switch (md.in.choice(8)) {
    case 1:
      cb.objective = cb.objective != nullptr ? nullptr : on_objective;
      break;
    case 2:
      cb.gradient = nullptr;
      break;
    case 3:
      cb.constraints = nullptr;
      break;
    case 4:
      cb.jacobian = nullptr, cb.evaluate = nullptr;
      break;
    case 5:
      if (with_record) cb.size = offsetof(talvir_callbacks, user);
      break;
  }
  return cb;
}

bool parameter_on(const Model& md, const char* name) {
  int value = 0;
  return talvir_get_integer_parameter(md.s, name, &value) == TALVIR_OK && value != 0;
}

// talvir_solve or talvir_solve_with; the ending must be "stopped" when a callback stopped or an interrupt
// came before a step, "evaluation failed" when derivatives failed.
void solve(Model& md) {
  const bool with_record = md.in.choice(2) == 1;
  const talvir_callbacks cb = pick_callbacks(md, with_record);
  const auto run = [&] {
    return with_record ? talvir_solve_with(md.s, &cb)
                       : talvir_solve(md.s, cb.objective, cb.constraints, cb.gradient, cb.jacobian, &md);
  };
  const unsigned deserved = deserved_callbacks(md, cb);
  if (deserved != kOk) {
    call(md, deserved, run);
    return;
  }
  md.fresh = md.phase != Phase::awaiting;  // the solve begins with its first callback (check_callback)
  const int checks = (md.p.m > 0 ? 2 : 1) * (1 + 2 * md.p.n);  // gradient, Jacobian, values at x +- h
  md.checker_calls = md.fresh && parameter_on(md, "CheckDerivatives") ? checks : 0;
  md.in_solve = true;
  md.stopped = md.derivatives_failed = md.over = md.jacobian_may_follow = false;
  md.stop_asked = md.interrupt_pending;  // the step after the pending request's answer stops
  call(md, kOk, run);
  if (md.fresh) begin_solve(md);  // (it ended before any callback)
  md.start_given = false;         // (a set start is used up by any solve that began)
  md.in_solve = md.fresh = false;
  md.phase = Phase::ended;
  md.cannot = false;
  // An interrupt from the sink or the progress callback stops the solve at its next step, if one comes
  // (before an answer's failure is seen there).
  int ending = TALVIR_ENDING_NONE;
  talvir_get_ending(md.s, &ending);
  const bool interrupted = md.interrupt_pending && ending == TALVIR_ENDING_STOPPED;
  check_ending(md, md.stopped || md.stop_asked             ? TALVIR_ENDING_STOPPED
                   : md.derivatives_failed && !interrupted ? TALVIR_ENDING_EVALUATION_FAILED
                                                           : TALVIR_ENDING_NONE);
}

// Called at the start point and after each accepted iteration, with the record as documented; sometimes
// it stops the solve (the step that called it ends it) or makes a call itself (as the sink may, and
// talvir_interrupt).
int on_progress(const talvir_iteration* it, void* user) {
  Model& md = *static_cast<Model*>(user);
  FUZZ_CHECK(it != nullptr && it->size >= sizeof *it && it->x != nullptr && within_bounds(md, it->x),
             "a progress record too short, or its point outside the bounds");
  FUZZ_CHECK(it->iteration > md.last_iteration && (md.last_iteration >= 0 || it->iteration == 0),
             "progress not first at the start point, then at rising iterations");
  md.last_iteration = it->iteration;
  ++md.progress_calls;
  const int how = md.in.choice(8);
  if (how == 2) {
    md.in_sink = md.in_progress = true;
    call_from_inside(md);
    md.in_sink = md.in_progress = false;
  }
  if (how != 1) return TALVIR_CALLBACK_OK;
  md.progress_stopped = md.over = true;
  return TALVIR_CALLBACK_STOP;
}

void set_progress(Model& md) {
  const bool none = md.in.choice(4) == 1;
  call(md, during_solve_refused(md, kOk),
       [&] { return talvir_set_progress(md.s, none ? nullptr : on_progress, &md); });
}

// ---- The derivative checker ------------------------------------------------------------------------------

// The problem's own functions and derivatives, always answered.
const Problem& problem_of(void* user) {
  return static_cast<Model*>(user)->p;
}
int exact_objective(int, const double* x, double* f, void* user) {
  *f = problem_of(user).objective(x);
  return TALVIR_CALLBACK_OK;
}
int exact_constraints(int, int, const double* x, double* c, void* user) {
  problem_of(user).constraints(x, c);
  return TALVIR_CALLBACK_OK;
}
int exact_gradient(int, const double* x, double* g, void* user) {
  problem_of(user).gradient(x, g);
  return TALVIR_CALLBACK_OK;
}
int exact_jacobian(int, int, int, const double* x, double* values, void* user) {
  problem_of(user).jacobian(x, values);
  return TALVIR_CALLBACK_OK;
}
void count_report(int, int, double, double, double, void* user) {
  ++*static_cast<int*>(user);
}

// Central differences of a quadratic family are exact but for rounding: no entry may be reported, and
// the solver is left as it was (also during a solve; only the listing sink is refused).
void check_derivatives(Model& md) {
  constexpr double kTolerances[] = {1e-4, 1e-6, 0.0, -1.0, kNaN, kInf};
  std::vector<double> x(md.p.n);
  for (double& v : x) v = md.in.grid(-4.0, 4.0, 16);
  const double tolerance = pick(md.in, kTolerances);
  const bool good = tolerance > 0.0 && std::isfinite(tolerance);
  int bad = -1, reports = 0;
  const Snapshot before = snapshot(md);
  const int status = call(md, in_sink_refused(md, good ? kOk : bit(TALVIR_ERROR_BAD_VALUE)), [&] {
    return talvir_check_derivatives(md.s, exact_objective, exact_constraints, exact_gradient, exact_jacobian,
                                    &md, x.data(), tolerance, count_report, &reports, &bad);
  });
  if (status != TALVIR_OK) return;
  FUZZ_CHECK(bad == 0 && reports == 0, "the derivative checker reported exact derivatives");
  FUZZ_CHECK(snapshot(md) == before, "the derivative checker changed the solver");
}

// ---- Getters and the library's own functions --------------------------------------------------------------

// Results readable exactly after an ending, and the same until the next solve begins; sizes, structure
// and evaluation arrays as given.
void check_getters(Model& md) {
  const Results r = read_results(md);
  const bool ended = md.phase == Phase::ended;
  FUZZ_CHECK(r.statuses[0] == TALVIR_OK && r.statuses[1] == TALVIR_OK, "the ending could not be read");
  FUZZ_CHECK((r.ending != TALVIR_ENDING_NONE) == ended, "an ending without a solve ended, or none after it");
  for (std::size_t k = 2; k < r.statuses.size(); ++k)
    FUZZ_CHECK((r.statuses[k] == TALVIR_OK) == ended, "results readable before an ending, or not after it");
  if (ended) FUZZ_CHECK(r.ints() == md.ended_ints && same(r.reals(), md.ended_reals), "the results changed");
  int n = -1, m = -1, nnz = -1;
  FUZZ_CHECK(talvir_get_sizes(md.s, &n, &m) == TALVIR_OK && n == md.p.n && m == md.p.m, "the sizes changed");
  FUZZ_CHECK(talvir_get_jacobian_nnz(md.s, &nnz) == TALVIR_OK && nnz == static_cast<int>(md.p.rows.size()),
             "the Jacobian nnz is not that of the structure set");
  const double* x = nullptr;
  double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
  FUZZ_CHECK(talvir_evaluation_arrays(md.s, &x, &f, &g, &c, &jac) == TALVIR_OK && x == md.x && f == md.f &&
                 g == md.g && c == md.c && jac == md.jac,
             "the evaluation arrays moved");
  call(md, bit(TALVIR_ERROR_NULL_ARGUMENT), [&] { return talvir_get_x(md.s, nullptr); });
}

// Texts of statuses and endings, parameter definitions and the version: the functions without a handle.
void texts_and_definitions(FuzzInput& in) {
  const int code = in.integer(-2, 25);
  const char* text = nullptr;
  int category = -1, major = -1, minor = -1, patch = -1;
  FUZZ_CHECK(talvir_status_text(code, &text) == TALVIR_OK && text != nullptr && *text != '\0',
             "no status text");
  if (code != TALVIR_ENDING_NONE) {
    const int expected = is_ending(code) ? TALVIR_OK : TALVIR_ERROR_BAD_VALUE;
    FUZZ_CHECK(
        talvir_ending_text(code, &text) == expected && talvir_ending_category(code, &category) == expected,
        "an ending code's text and category are refused or given otherwise than documented");
  }
  const int count = static_cast<int>(definitions().size());
  const int index = in.integer(-2, count + 1);
  FUZZ_CHECK((talvir_parameter_info(index, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr) == TALVIR_OK) == (index >= 0 && index < count),
             "a parameter index accepted outside 0..count-1, or refused inside");
  FUZZ_CHECK(talvir_version(&major, &minor, &patch) == TALVIR_OK && major == TALVIR_VERSION_MAJOR,
             "another version");
}

// talvir_memory_needed checks its arguments as talvir_create does.
void memory_needed(FuzzInput& in) {
  int n = 0, m = 0;
  std::vector<int> kinds;
  bool no_kinds = false;
  read_sizes(in, n, m, kinds, no_kinds);
  const int* given = no_kinds ? nullptr : kinds.data();
  double needed = -1.0, available = -1.0;
  const int status = talvir_memory_needed(n, m, given, &needed, &available);
  FUZZ_CHECK((deserved_problem(n, m, given) >> status & 1u) != 0 &&
                 (status != TALVIR_OK || (needed > 0.0 && std::isfinite(needed) && available > 0.0)),
             "talvir_memory_needed answered otherwise than its arguments deserve");
}

// The functions without a handle, and handle functions given a null handle.
void library_calls(Model& md) {
  texts_and_definitions(md.in);
  memory_needed(md.in);
  int request = 0;
  const double point[1] = {0.0};
  const talvir_callbacks cb{sizeof cb, on_objective, on_constraints, on_gradient, on_jacobian, nullptr, &md};
  const int statuses[] = {talvir_step(nullptr, &request),
                          talvir_solve_with(nullptr, &cb),
                          talvir_stop(nullptr),
                          talvir_set_start(nullptr, point),
                          talvir_get_ending(nullptr, &request),
                          talvir_ending_text(1, nullptr),
                          talvir_solve(nullptr, on_objective, on_constraints, on_gradient, on_jacobian, &md)};
  for (const int status : statuses)
    FUZZ_CHECK(status == TALVIR_ERROR_NULL_ARGUMENT, "a null pointer accepted");
  FUZZ_CHECK(talvir_free(nullptr) == TALVIR_OK, "talvir_free refused a null handle");
}

void free_solver(Model& md) {
  FUZZ_CHECK(talvir_free(md.s) == TALVIR_OK, "talvir_free refused outside callbacks and the sink");
  md.s = nullptr;
}

// ---- Calls from inside a callback or the listing sink -----------------------------------------------------

// In a callback the getters, talvir_stop, talvir_cannot_evaluate, talvir_interrupt, talvir_check_derivatives
// and the parameter setters are allowed; in the sink and the progress callback the getters and
// talvir_interrupt. The rest is refused (the actions know the context from the model).
constexpr Action kInnerCalls[] = {{"getters", check_getters},   {"free", inner_free},
                                  {"step", inner_step},         {"solve", inner_solve},
                                  {"bounds", set_bounds},       {"listing", set_listing},
                                  {"parameter", set_parameter}, {"stop", stop},
                                  {"cannot", cannot_evaluate},  {"derivatives", check_derivatives},
                                  {"interrupt", interrupt},     {"progress", set_progress}};

void call_from_inside(Model& md) {
  const Action& a = pick(md.in, kInnerCalls);
  if (verbose())
    std::fprintf(stderr, "    from inside the %s: %s\n",
                 md.in_progress ? "progress callback"
                 : md.in_sink   ? "sink"
                                : "callback",
                 a.name);
  a.run(md);
}

// Each line whole; the first line of a top-level call may make one call itself.
void on_listing(const char* text, void* user) {
  Model& md = *static_cast<Model*>(user);
  FUZZ_CHECK(md.s != nullptr && !md.in_sink, "a listing line for a freed solver, or from inside the sink");
  const std::size_t length = text != nullptr ? std::strlen(text) : 0;
  FUZZ_CHECK(length > 0 && std::strchr(text, '\n') == text + length - 1,
             "a listing line that is not one whole line");
  if (!md.sink_may_call) return;
  md.sink_may_call = false;
  if (md.in.choice(2) == 0) return;
  md.in_sink = true;
  call_from_inside(md);
  md.in_sink = false;
}

// ---- The sequence -----------------------------------------------------------------------------------------

void read_problem(FuzzInput& in, Problem& p) {
  for (int i = 0; i < p.n; ++i) {
    p.w.push_back(in.choice(8) == 1 ? -1.0 : in.grid(0.0, 3.0, 6));
    p.t.push_back(in.grid(-3.0, 3.0, 12));
  }
  p.coupling = in.choice(4) == 1 ? in.grid(-2.0, 2.0, 8) : 0.0;
  for (int j = 0; j < p.m; ++j) {
    for (int i = 0; i < p.n; ++i) p.a.push_back(in.grid(-2.0, 2.0, 8));
    p.b.push_back(in.grid(-2.0, 2.0, 16));
    p.k.push_back(in.choice(3) == 1 ? in.grid(-1.0, 1.0, 8) : 0.0);
  }
  for (int j = 0; j < p.m; ++j)
    for (int i = 0; i < p.n; ++i) p.rows.push_back(j), p.cols.push_back(i);
}

// A new solver has its defaults; MaxIterations is then set to 1..10 (every solve stays short).
void adopt(Model& md, talvir_solver* s, int n, int m) {
  md.s = s;
  md.p.n = n;
  md.p.m = m;
  read_problem(md.in, md.p);
  md.lower.assign(n, -kNoBound);
  md.upper.assign(n, kNoBound);
  md.start.assign(n, 0.0);
  md.phase = Phase::idle;
  md.cannot = false;
  FUZZ_CHECK(talvir_evaluation_arrays(s, &md.x, &md.f, &md.g, &md.c, &md.jac) == TALVIR_OK && md.x && md.f &&
                 md.g && (md.c != nullptr) == (m > 0) && (md.jac != nullptr) == (m > 0),
             "the evaluation arrays are not as documented");
  check_getters(md);
  for (const Definition& d : definitions()) {
    const char* text = nullptr;
    double number = kNaN;
    const bool at_default =
        d.type == TALVIR_PARAMETER_TEXT
            ? talvir_get_text_parameter(s, d.name, &text) == TALVIR_OK && text != nullptr &&
                  std::strcmp(text, d.default_text) == 0
            : talvir_get_real_parameter(s, d.name, &number) == TALVIR_OK && number == d.default_number;
    FUZZ_CHECK(at_default, "a parameter of a new solver is not at its default");
  }
  md.max_iterations = md.in.integer(1, 10);
  FUZZ_CHECK(talvir_set_integer_parameter(s, "MaxIterations", md.max_iterations) == TALVIR_OK,
             "MaxIterations refused a value within its range");
}

// talvir_create_ranged: each row's sides from the kind (c = 0, c >= 0, c <= 0), or a range, a free row,
// or sides refused (NaN, lower > upper, lower = +inf, upper = -inf). Sides at or beyond 1e20 in
// magnitude are offered on their own side only (-1e30 below, 1e30 above).
int create_ranged(Model& md, int n, int m, const std::vector<int>& kinds, bool null, talvir_solver*& s) {
  constexpr double kLower[] = {-1.0, 0.5, 2.0, -1.0e30, -kInf, kInf, kNaN};
  constexpr double kUpper[] = {1.0, 0.5, 1.0e30, kInf, -kInf, kNaN};
  std::vector<double>& lo = md.p.lo;
  std::vector<double>& up = md.p.up;
  unsigned deserved = n < 1 || n == INT_MAX || m < 0 ? bit(TALVIR_ERROR_BAD_SIZE) : 0u;
  if (m > 0 && null) deserved |= bit(TALVIR_ERROR_NULL_ARGUMENT);
  for (int j = 0; j < m; ++j) {
    const bool range = md.in.choice(4) == 1;
    lo[j] = range ? pick(md.in, kLower) : kinds[j] == TALVIR_LESS_EQUAL ? -kInf : 0.0;
    up[j] = range ? pick(md.in, kUpper) : kinds[j] == TALVIR_GREATER_EQUAL ? kInf : 0.0;
    if (!(lo[j] <= up[j]) || lo[j] == kInf || up[j] == -kInf) deserved |= bit(TALVIR_ERROR_BAD_VALUE);
  }
  const int status = talvir_create_ranged(n, m, null ? nullptr : lo.data(), null ? nullptr : up.data(), &s);
  FUZZ_CHECK(((deserved == 0 ? kOk : deserved) >> status & 1u) != 0,
             "talvir_create_ranged answered otherwise than its arguments deserve");
  for (int j = 0; j < m; ++j) lo[j] = std::max(lo[j], -kNoBound), up[j] = std::min(up[j], kNoBound);
  return status;
}

// talvir_create with kinds or talvir_create_ranged, sometimes with bad sizes, kinds or sides: refused
// with one of the statuses the arguments deserve and no handle, or accepted with a handle.
void create(Model& md) {
  int n = 0, m = 0;
  std::vector<int> kinds;
  bool no_kinds = false;
  read_sizes(md.in, n, m, kinds, no_kinds);
  md.p = Problem{};
  md.p.lo.assign(kinds.size(), 0.0);
  md.p.up.assign(kinds.size(), 0.0);
  auto* s = reinterpret_cast<talvir_solver*>(&md);  // not null: a refusal must clear it
  int status = 0;
  const bool ranged = md.in.choice(4) == 1;
  if (ranged) {
    status = create_ranged(md, n, m, kinds, no_kinds, s);
  } else {
    status = talvir_create(n, m, no_kinds ? nullptr : kinds.data(), &s);
    FUZZ_CHECK((deserved_problem(n, m, no_kinds ? nullptr : kinds.data()) >> status & 1u) != 0,
               "talvir_create answered otherwise than its arguments deserve");
    for (std::size_t j = 0; j < kinds.size(); ++j) {
      md.p.lo[j] = kinds[j] == TALVIR_LESS_EQUAL ? -kInf : 0.0;
      md.p.up[j] = kinds[j] == TALVIR_GREATER_EQUAL ? kInf : 0.0;
    }
  }
  if (verbose())
    std::fprintf(stderr, "create%s n %d m %d: status %d\n", ranged ? " ranged" : "", n, m, status);
  FUZZ_CHECK((s != nullptr) == (status == TALVIR_OK),
             "a creation left a handle with a refusal, or none with a success");
  if (status == TALVIR_OK) adopt(md, s, n, m);
}

constexpr Action kActions[] = {{"steps", run_steps},
                               {"steps", run_steps},
                               {"steps", run_steps},
                               {"solve", solve},
                               {"solve", solve},
                               {"bounds", set_bounds},
                               {"start", set_start},
                               {"structure", set_structure},
                               {"scales", set_scales},
                               {"objective scale", set_objective_scale},
                               {"maximize", set_maximize},
                               {"warm start", warm_start},
                               {"derivatives", check_derivatives},
                               {"progress", set_progress},
                               {"interrupt", interrupt},
                               {"listing", set_listing},
                               {"parameter", set_parameter},
                               {"parameter", set_parameter},
                               {"cannot evaluate", cannot_evaluate},
                               {"stop", stop},
                               {"getters", check_getters},
                               {"library", library_calls},
                               {"free", free_solver}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  Model md(in);
  for (int k = 0; k < kMaxCalls && !in.used_up(); ++k) {
    if (md.s == nullptr) {
      create(md);
      continue;
    }
    const Action& a = pick(in, kActions);
    if (verbose()) std::fprintf(stderr, "%s\n", a.name);
    md.sink_may_call = true;
    a.run(md);
  }
  if (md.s != nullptr) free_solver(md);
  return 0;
}
