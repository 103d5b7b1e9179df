// talvir.hpp: a thin header-only C++17 wrapper over the C API of talvir.h.
//
//   talvir::Solver      RAII owner of a talvir_solver handle (movable, not copyable). Every refused call
//                       throws talvir::Error, which carries the status and the handle's message.
//   talvir::View<T>     a pointer and a length: made from a std::vector, a std::array, a C array, or any
//                       container with data() and size(); arrays handed to the solver are size-checked.
//   Solver::solve(fs)   the callback driver: talvir::Functions names each callback by its role (objective,
//                       constraints, gradient, jacobian, in the order of talvir_callbacks), or gives one
//                       `evaluate` for all. Each role writes into a view of its own type (Gradient,
//                       ConstraintValues, JacobianValues), so a callback cannot be passed for another
//                       role. A callback may throw talvir::CannotEvaluate (the point cannot be evaluated:
//                       the step is cut) or any other exception, which stops the solve cleanly and is
//                       rethrown from solve().
//   Solver::step()      reverse communication: the request, with arrays() to read x and write values.
//   talvir::Result      everything a finished solve reports (Solver::result()).
//
// Sign convention of the multipliers: the Lagrangian is f(x) - sum_j lambda_j c_j(x) (see talvir.h).
#ifndef TALVIR_TALVIR_HPP
#define TALVIR_TALVIR_HPP

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "talvir/talvir.h"

namespace talvir {

// A refused call: status() is the TALVIR_ERROR_ code, what() the handle's message (or the status text).
class Error : public std::runtime_error {
 public:
  Error(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int status() const noexcept { return status_; }

 private:
  int status_;
};

// Thrown by a callback whose function cannot be evaluated at the point it was given.
struct CannotEvaluate {};

template <class T>
class View {
 public:
  View() = default;
  View(T* data, std::size_t size) : data_(data), size_(size) {}
  template <class Container,
            class = std::enable_if_t<std::is_convertible_v<decltype(std::declval<Container&>().data()), T*>>>
  View(Container&& c) : data_(c.data()), size_(c.size()) {}  // NOLINT: implicit by design
  template <std::size_t N>
  View(T (&array)[N]) : data_(array), size_(N) {}  // NOLINT: implicit by design
  T* data() const { return data_; }
  std::size_t size() const { return size_; }
  T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() const { return data_; }
  T* end() const { return data_ + size_; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

struct Result {
  int ending = TALVIR_ENDING_NONE;
  std::string message;
  std::vector<double> x, constraints, multipliers, bound_multipliers;
  double objective = 0.0, max_violation = 0.0;
  int iterations = 0, value_evaluations = 0, derivative_evaluations = 0;
  double convergence_sum = 0.0, convergence_threshold = 0.0, convergence_ratio = 0.0;
  bool converged() const { return ending == TALVIR_ENDING_CONVERGED; }
};

// The reverse-communication arrays of a solver (valid as long as the solver).
struct Arrays {
  View<const double> x;
  double* objective;
  View<double> gradient, constraints, jacobian;
};

// An output view of one role: n or m values (or the Jacobian's nnz) to write. The roles are distinct
// types that do not convert into one another.
template <class Role>
class Out {
 public:
  Out(double* data, std::size_t size) : data_(data), size_(size) {}
  double& operator[](std::size_t i) const { return data_[i]; }
  double* data() const { return data_; }
  std::size_t size() const { return size_; }
  double* begin() const { return data_; }
  double* end() const { return data_ + size_; }

 private:
  double* data_;
  std::size_t size_;
};
using Gradient = Out<struct GradientRole>;
using ConstraintValues = Out<struct ConstraintsRole>;
using JacobianValues = Out<struct JacobianRole>;

// What one call of an `evaluate` callback is asked for: values() means f and c, derivatives() g and the
// Jacobian values, at x; what is not asked for may be left alone.
struct Evaluation {
  int request;
  View<const double> x;
  double* f;
  ConstraintValues c;
  Gradient g;
  JacobianValues jacobian;
  bool values() const { return (request & TALVIR_REQUEST_VALUES) != 0; }
  bool derivatives() const { return (request & TALVIR_REQUEST_DERIVATIVES) != 0; }
};

using ObjectiveFn = std::function<double(View<const double> x)>;
using ConstraintsFn = std::function<void(View<const double> x, ConstraintValues c)>;
using GradientFn = std::function<void(View<const double> x, Gradient g)>;
using JacobianFn = std::function<void(View<const double> x, JacobianValues values)>;
using EvaluateFn = std::function<void(const Evaluation& e)>;

// The callbacks of Solver::solve, by role: objective and gradient (with constraints and jacobian when
// m > 0), or evaluate alone.
struct Functions {
  ObjectiveFn objective;
  ConstraintsFn constraints;
  GradientFn gradient;
  JacobianFn jacobian;
  EvaluateFn evaluate;
};

class Solver {
 public:
  // kinds: m constraint kinds (TALVIR_EQUAL, ...); another count is refused with TALVIR_ERROR_BAD_SIZE.
  Solver(int n, int m, const std::vector<int>& kinds = {}) : state_(new State) {
    if (kinds.size() != static_cast<std::size_t>(m < 0 ? 0 : m)) {
      throw Error(TALVIR_ERROR_BAD_SIZE, std::to_string(kinds.size()) + " constraint kinds where m = " +
                                             std::to_string(m) + " are needed");
    }
    check(talvir_create(n, m, kinds.empty() ? nullptr : kinds.data(), &handle_));
  }
  // Constraints with two sides, lower[j] <= c_j(x) <= upper[j] (talvir_create_ranged); both of m values.
  static Solver ranged(int n, View<const double> lower, View<const double> upper) {
    if (lower.size() != upper.size()) {
      throw Error(TALVIR_ERROR_BAD_SIZE, std::to_string(lower.size()) + " lower and " +
                                             std::to_string(upper.size()) + " upper sides");
    }
    Solver s;
    s.check(talvir_create_ranged(n, static_cast<int>(lower.size()), lower.data(), upper.data(), &s.handle_));
    return s;
  }
  Solver(Solver&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)), state_(std::move(other.state_)) {}
  Solver& operator=(Solver&& other) noexcept {
    std::swap(handle_, other.handle_);
    std::swap(state_, other.state_);
    return *this;
  }
  Solver(const Solver&) = delete;
  Solver& operator=(const Solver&) = delete;
  ~Solver() { talvir_free(handle_); }

  talvir_solver* handle() const { return handle_; }
  int n() const { return sizes().first; }
  int m() const { return sizes().second; }

  // ---- set-up (arrays of n values; an empty view means "none" where the C API takes a null array)
  Solver& set_bounds(View<const double> lower, View<const double> upper) {
    check(talvir_set_bounds(handle_, optional(lower, n()), optional(upper, n())));
    return *this;
  }
  Solver& set_start(View<const double> x0) {
    check(talvir_set_start(handle_, sized(x0, n())));
    return *this;
  }
  Solver& set_jacobian_structure(View<const int> rows, View<const int> cols) {
    if (rows.size() != cols.size()) throw Error(TALVIR_ERROR_BAD_SIZE, "rows and cols differ in length");
    check(talvir_set_jacobian_structure(handle_, static_cast<int>(rows.size()), rows.data(), cols.data()));
    return *this;
  }
  Solver& set_variable_scales(View<const double> scales) {
    check(talvir_set_variable_scales(handle_, optional(scales, n())));
    return *this;
  }
  Solver& set_maximize(bool maximize) {
    check(talvir_set_maximize(handle_, maximize ? 1 : 0));
    return *this;
  }
  // Later solves go on from the previous one (talvir_set_warm_start).
  Solver& set_warm_start(bool on) {
    check(talvir_set_warm_start(handle_, on ? 1 : 0));
    return *this;
  }
  // The next solve goes on from the last solve of `previous` (talvir_set_warm_start_from).
  Solver& set_warm_start_from(const Solver& previous) {
    check(talvir_set_warm_start_from(handle_, previous.handle_));
    return *this;
  }
  Solver& set_hessian_scale(double scale) {
    check(talvir_set_hessian_scale(handle_, scale));
    return *this;
  }
  // The listing, line by line (an empty function: none).
  Solver& set_listing(std::function<void(const char*)> sink) {
    state_->listing = std::move(sink);
    check(state_->listing ? talvir_set_listing(handle_, &Solver::listing_line, state_.get())
                          : talvir_set_listing(handle_, nullptr, nullptr));
    return *this;
  }

  // The progress callback: true to go on, false to stop the solve (talvir_set_progress).
  Solver& set_progress(std::function<bool(const talvir_iteration&)> progress) {
    state_->progress = std::move(progress);
    check(state_->progress ? talvir_set_progress(handle_, &Solver::progress_call, state_.get())
                           : talvir_set_progress(handle_, nullptr, nullptr));
    return *this;
  }
  // Stops the solve in progress at its next step; safe from any thread (talvir_interrupt).
  void interrupt() noexcept { talvir_interrupt(handle_); }

  // The entries whose derivatives differ from central differences at x (talvir_check_derivatives);
  // needs the four callbacks of `functions`.
  struct DerivativeReport {
    int row, column;  // row -1: the gradient
    double given, estimated, error;
  };
  std::vector<DerivativeReport> check_derivatives(Functions functions, View<const double> x,
                                                  double tolerance = 1e-4) {
    Callbacks cb{std::move(functions), {}};
    std::vector<DerivativeReport> found;
    int bad = 0;
    const auto report = [](int row, int column, double given, double estimated, double error, void* user) {
      static_cast<std::vector<DerivativeReport>*>(user)->push_back({row, column, given, estimated, error});
    };
    check(talvir_check_derivatives(handle_, &Solver::call_objective, &Solver::call_constraints,
                                   &Solver::call_gradient, &Solver::call_jacobian, &cb, sized(x, n()),
                                   tolerance, report, &found, &bad));
    if (cb.failure) std::rethrow_exception(cb.failure);
    return found;
  }

  // ---- parameters
  Solver& set(const char* name, int value) {
    check(talvir_set_integer_parameter(handle_, name, value));
    return *this;
  }
  Solver& set(const char* name, double value) {
    check(talvir_set_real_parameter(handle_, name, value));
    return *this;
  }
  Solver& set(const char* name, const char* value) {
    check(talvir_set_text_parameter(handle_, name, value));
    return *this;
  }
  Solver& set(const char* name, const std::string& value) { return set(name, value.c_str()); }
  // Any parameter from its text form ("200", "1e-8", "Normal").
  Solver& set_from_text(const char* name, const std::string& value) {
    check(talvir_set_parameter(handle_, name, value.c_str()));
    return *this;
  }
  int get_integer(const char* name) const {
    int value = 0;
    check(talvir_get_integer_parameter(handle_, name, &value));
    return value;
  }
  double get_real(const char* name) const {
    double value = 0.0;
    check(talvir_get_real_parameter(handle_, name, &value));
    return value;
  }
  std::string get_text(const char* name) const {
    const char* value = nullptr;
    check(talvir_get_text_parameter(handle_, name, &value));
    return value;
  }

  // ---- reverse communication
  Arrays arrays() const {
    const double* x = nullptr;
    double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
    int nnz = 0;
    check(talvir_evaluation_arrays(handle_, &x, &f, &g, &c, &jac));
    check(talvir_get_jacobian_nnz(handle_, &nnz));
    const std::size_t N = static_cast<std::size_t>(n()), M = static_cast<std::size_t>(m());
    return {{x, N}, f, {g, N}, {c, M}, {jac, M > 0 ? static_cast<std::size_t>(nnz) : 0}};
  }
  // One step: the next request (TALVIR_REQUEST_NONE when the solve has ended).
  int step() {
    int request = TALVIR_REQUEST_NONE;
    check(talvir_step(handle_, &request));
    return request;
  }
  void cannot_evaluate() { check(talvir_cannot_evaluate(handle_)); }
  void stop() { check(talvir_stop(handle_)); }

  // ---- callback driver: a whole solve, then its result
  Result solve(Functions functions) {
    Callbacks cb{std::move(functions), {}};
    const Functions& fs = cb.functions;
    talvir_callbacks record{};
    record.size = sizeof record;
    record.objective = fs.objective ? &Solver::call_objective : nullptr;
    record.constraints = fs.constraints ? &Solver::call_constraints : nullptr;
    record.gradient = fs.gradient ? &Solver::call_gradient : nullptr;
    record.jacobian = fs.jacobian ? &Solver::call_jacobian : nullptr;
    record.evaluate = fs.evaluate ? &Solver::call_evaluate : nullptr;
    record.user = &cb;
    check(talvir_solve_with(handle_, &record));
    if (cb.failure) std::rethrow_exception(cb.failure);
    return result();
  }

  Result result() const {
    Result r;
    check(talvir_get_ending(handle_, &r.ending));
    const char* message = nullptr;
    check(talvir_get_ending_message(handle_, &message));
    r.message = message;
    r.x.resize(n());
    r.bound_multipliers.resize(n());
    r.constraints.resize(m());
    r.multipliers.resize(m());
    check(talvir_get_x(handle_, r.x.data()));
    check(talvir_get_objective(handle_, &r.objective));
    check(talvir_get_constraints(handle_, r.constraints.data()));
    check(talvir_get_multipliers(handle_, r.multipliers.data()));
    check(talvir_get_bound_multipliers(handle_, r.bound_multipliers.data()));
    check(talvir_get_max_violation(handle_, &r.max_violation));
    check(talvir_get_iterations(handle_, &r.iterations));
    check(talvir_get_evaluations(handle_, &r.value_evaluations, &r.derivative_evaluations));
    check(
        talvir_get_convergence(handle_, &r.convergence_sum, &r.convergence_threshold, &r.convergence_ratio));
    return r;
  }

 private:
  Solver() : state_(new State) {}
  struct State {
    std::function<void(const char*)> listing;
    std::function<bool(const talvir_iteration&)> progress;
  };
  static int progress_call(const talvir_iteration* it, void* user) {
    try {
      return static_cast<State*>(user)->progress(*it) ? TALVIR_CALLBACK_OK : TALVIR_CALLBACK_STOP;
    } catch (...) {
      return TALVIR_CALLBACK_STOP;  // an exception in the progress callback stops the solve
    }
  }
  struct Callbacks {
    Functions functions;
    std::exception_ptr failure;
  };

  std::pair<int, int> sizes() const {
    int n = 0, m = 0;
    check(talvir_get_sizes(handle_, &n, &m));
    return {n, m};
  }
  void check(int status) const {
    if (status == TALVIR_OK) return;
    const char* text = "";
    if (handle_ != nullptr) talvir_get_error_message(handle_, &text);
    if (*text == '\0') talvir_status_text(status, &text);
    throw Error(status, text);
  }
  static const double* sized(View<const double> v, int n) {
    if (v.size() != static_cast<std::size_t>(n)) {
      throw Error(TALVIR_ERROR_BAD_SIZE, "an array of " + std::to_string(v.size()) + " values where " +
                                             std::to_string(n) + " are needed");
    }
    return v.data();
  }
  static const double* optional(View<const double> v, int n) { return v.size() == 0 ? nullptr : sized(v, n); }

  static void listing_line(const char* text, void* user) {
    try {
      static_cast<State*>(user)->listing(text);
    } catch (...) {
      // A listing sink must not end the solve; its failure is not the solver's.
    }
  }
  // Runs one callback; an exception becomes the callback result (and is kept for rethrowing).
  template <class Body>
  static int guarded(void* user, Body&& body) noexcept {
    auto* cb = static_cast<Callbacks*>(user);
    try {
      body(*cb);
      return TALVIR_CALLBACK_OK;
    } catch (const CannotEvaluate&) {
      return TALVIR_CALLBACK_CANNOT_EVALUATE;
    } catch (...) {
      cb->failure = std::current_exception();
      return TALVIR_CALLBACK_STOP;
    }
  }
  static std::size_t count(int k) { return static_cast<std::size_t>(k); }
  static int call_objective(int n, const double* x, double* f, void* user) {
    return guarded(user, [&](Callbacks& cb) { *f = cb.functions.objective({x, count(n)}); });
  }
  static int call_gradient(int n, const double* x, double* g, void* user) {
    return guarded(user, [&](Callbacks& cb) { cb.functions.gradient({x, count(n)}, {g, count(n)}); });
  }
  static int call_constraints(int n, int m, const double* x, double* c, void* user) {
    return guarded(user, [&](Callbacks& cb) { cb.functions.constraints({x, count(n)}, {c, count(m)}); });
  }
  static int call_jacobian(int n, int, int nnz, const double* x, double* values, void* user) {
    return guarded(user, [&](Callbacks& cb) { cb.functions.jacobian({x, count(n)}, {values, count(nnz)}); });
  }
  static int call_evaluate(int request, int n, int m, int nnz, const double* x, double* f, double* c,
                           double* g, double* jac, void* user) {
    return guarded(user, [&](Callbacks& cb) {
      cb.functions.evaluate(
          Evaluation{request, {x, count(n)}, f, {c, count(m)}, {g, count(n)}, {jac, count(nnz)}});
    });
  }

  talvir_solver* handle_ = nullptr;
  std::unique_ptr<State> state_;
};

}  // namespace talvir

#endif  // TALVIR_TALVIR_HPP
