// talvir._talvir: the Python extension over the native C API (include/talvir/talvir.h).
//
// It is a thin, typed view of one solver handle; the Python package (talvir/_minimize.py) drives the
// reverse-communication loop and evaluates the caller's functions.
//
//   Solver(n, kinds)               talvir_create; kinds: m ints (0 c = 0, +1 c >= 0, -1 c <= 0)
//   set_bounds(lower, upper)       n values each, +-inf for none
//   set_start(x0)                  n values
//   set_parameter(name, value)     int, float or str, by the parameter's own type
//   real_parameter(name) -> float  the value of a real parameter (e.g. "OptTol")
//   set_listing(on)                collect the engine's listing (read it with take_listing)
//   take_listing() -> str          the listing text collected since the last call
//   set_progress(on)               collect a record per progress call (the start point and each iteration)
//   take_progress() -> [(iteration, f, violation, x)]  the records collected since the last call
//   step() -> int                  one talvir_step with the GIL released; the request (REQUEST_*).
//                                  Ctrl-C on the main thread interrupts it and raises KeyboardInterrupt
//   cannot_evaluate(), stop()      talvir_cannot_evaluate, talvir_stop
//   warm_start_from(previous)      talvir_set_warm_start_from (previous: a Solver whose solve has ended)
//   check_derivatives(fun, cons, grad, jac, x, tolerance) -> [(row, column, given, estimated, error)]
//                                  talvir_check_derivatives with f(x), c(x), g(x) and the m*n dense
//                                  row-major jacobian(x); row -1 is the objective
//   point()                        the point of the pending request, a read-only array over the handle's x
//   f, g, c, jac                   writable arrays over the handle's evaluation arrays (f has 1 value, jac
//                                  m*n in the dense row-major order; both c and jac are empty when m = 0)
//   ending(), ending_message(), ending_category(), x(), objective(), constraints(), multipliers(),
//   bound_multipliers(), max_violation(), iterations(), evaluations() -> (values, derivatives),
//   convergence() -> (sum, threshold, ratio)
// Module functions: parameters() -> [(name, description, type, minimum, maximum)], ending_text(code).
//
// Errors: a refused call raises ValueError (TypeError for a parameter of the wrong type) with the
// handle's message; a refused creation raises ValueError with the status text. The handle is freed
// with the Solver object, and the arrays handed out keep that object alive.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <exception>
#include <string>
#include <tuple>
#include <vector>

#include "talvir/talvir.h"

namespace py = pybind11;

namespace {

const char* status_text(int status) {
  const char* text = "";
  talvir_status_text(status, &text);
  return text;
}

// The Python exception for a refused call.
[[noreturn]] void raise_refusal(int status, const std::string& message) {
  if (status == TALVIR_ERROR_PARAMETER_TYPE) throw py::type_error(message);
  throw py::value_error(message);
}

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Ctrl-C during a step on the main thread. Python's own handler only marks the signal for the main
// thread's next bytecode, which one long engine call would delay by seconds; for the length of the step
// this handler also interrupts the solve (talvir_interrupt is signal-safe) and then hands the signal to
// Python's. It is installed only over a handler function (not over SIG_DFL or SIG_IGN).
class SigintDuringStep {
 public:
  explicit SigintDuringStep(talvir_solver* solver) {
#if defined(__unix__) || defined(__APPLE__)
    if (PyThread_get_thread_ident() != main_thread) return;
    struct sigaction ours {};
    ours.sa_handler = &SigintDuringStep::handle;
    sigemptyset(&ours.sa_mask);
    target.store(solver);
    installed_ = sigaction(SIGINT, &ours, &python_handler) == 0;
    if (installed_ && !forwardable(python_handler)) {
      sigaction(SIGINT, &python_handler, nullptr);
      installed_ = false;
    }
#else
    (void)solver;
#endif
  }
  ~SigintDuringStep() {
#if defined(__unix__) || defined(__APPLE__)
    if (installed_) sigaction(SIGINT, &python_handler, nullptr);
    target.store(nullptr);
#endif
  }
  SigintDuringStep(const SigintDuringStep&) = delete;
  SigintDuringStep& operator=(const SigintDuringStep&) = delete;

  static inline unsigned long main_thread = 0;  // set when the module is imported

 private:
#if defined(__unix__) || defined(__APPLE__)
  static bool forwardable(const struct sigaction& a) {
    return (a.sa_flags & SA_SIGINFO) == 0 && a.sa_handler != SIG_DFL && a.sa_handler != SIG_IGN;
  }
  static void handle(int signal) {
    if (talvir_solver* const solver = target.load()) talvir_interrupt(solver);
    python_handler.sa_handler(signal);
  }
  static inline std::atomic<talvir_solver*> target{nullptr};
  static inline struct sigaction python_handler {};
#endif
  bool installed_ = false;
};

// The caller's functions of a derivative check, as the C callbacks call them.
struct Checked {
  py::object fn[4];  // objective, constraints, gradient, jacobian: each f(x) with x a fresh array
  int n, m;
  std::exception_ptr error;  // the first exception of a function; every later call then fails
  py::list report_list;

  // Calls fn[which] at x and copies `count` values of its answer to `out`.
  static int call(void* u, int which, const double* x, double* out, py::ssize_t count) {
    Checked& k = *static_cast<Checked*>(u);
    if (k.error) return TALVIR_CALLBACK_STOP;
    try {
      const Array answer(k.fn[which](Array(k.n, x)));
      if (answer.size() != count)
        throw py::value_error("a derivative check function returned " + std::to_string(answer.size()) +
                              " values, expected " + std::to_string(count));
      std::copy(answer.data(), answer.data() + count, out);
      return TALVIR_CALLBACK_OK;
    } catch (...) {
      k.error = std::current_exception();
      return TALVIR_CALLBACK_STOP;
    }
  }
  static int objective(int, const double* x, double* f, void* u) { return call(u, 0, x, f, 1); }
  static int constraints(int, int m, const double* x, double* c, void* u) { return call(u, 1, x, c, m); }
  static int gradient(int n, const double* x, double* g, void* u) { return call(u, 2, x, g, n); }
  static int jacobian(int, int, int nnz, const double* x, double* v, void* u) {
    return call(u, 3, x, v, nnz);
  }
  static void report(int row, int column, double given, double estimated, double error, void* u) {
    static_cast<Checked*>(u)->report_list.append(py::make_tuple(row, column, given, estimated, error));
  }
};

class Solver {
 public:
  Solver(int n, const std::vector<int>& kinds) {
    const int status = talvir_create(n, static_cast<int>(kinds.size()), kinds.data(), &handle_);
    if (status != TALVIR_OK) raise_refusal(status, status_text(status));
    talvir_get_sizes(handle_, &n_, &m_);
    talvir_evaluation_arrays(handle_, &x_, &f_, &g_, &c_, &jac_);
  }
  ~Solver() { talvir_free(handle_); }
  Solver(const Solver&) = delete;
  Solver& operator=(const Solver&) = delete;

  talvir_solver* handle() const { return handle_; }

  // Raises for a refused call, with the handle's message.
  void check(int status) const {
    if (status == TALVIR_OK) return;
    const char* message = "";
    talvir_get_error_message(handle_, &message);
    raise_refusal(status, *message != '\0' ? message : status_text(status));
  }

  void set_bounds(const Array& lower, const Array& upper) {
    check(talvir_set_bounds(handle(), data(lower, "lower bounds"), data(upper, "upper bounds")));
  }

  void set_start(const Array& x0) { check(talvir_set_start(handle(), data(x0, "start point"))); }

  void set_parameter(const std::string& name, const py::object& value) {
    if (py::isinstance<py::bool_>(value))
      throw py::type_error("parameter " + name + ": a bool is not a value");
    if (py::isinstance<py::int_>(value)) {
      // An integer beyond the int range goes through the real setter, which refuses it by range.
      const double number = value.cast<double>();
      const bool fits = number >= INT_MIN && number <= INT_MAX;
      check(fits ? talvir_set_integer_parameter(handle(), name.c_str(), value.cast<int>())
                 : talvir_set_real_parameter(handle(), name.c_str(), number));
    } else if (py::isinstance<py::float_>(value)) {
      check(talvir_set_real_parameter(handle(), name.c_str(), value.cast<double>()));
    } else if (py::isinstance<py::str>(value)) {
      check(talvir_set_text_parameter(handle(), name.c_str(), value.cast<std::string>().c_str()));
    } else {
      throw py::type_error("parameter " + name + ": the value must be an int, a float or a str");
    }
  }

  double real_parameter(const std::string& name) const {
    double value = 0;
    check(talvir_get_real_parameter(handle(), name.c_str(), &value));
    return value;
  }

  void set_listing(bool on) {
    check(on ? talvir_set_listing(handle(), &Solver::collect, this)
             : talvir_set_listing(handle(), nullptr, nullptr));
  }

  void set_progress(bool on) {
    check(on ? talvir_set_progress(handle(), &Solver::record, this)
             : talvir_set_progress(handle(), nullptr, nullptr));
  }

  py::list take_progress() {
    py::list out;
    for (const Progress& p : progress_) {
      py::array_t<double> x(static_cast<py::ssize_t>(p.x.size()), p.x.data());
      out.append(py::make_tuple(p.iteration, p.f, p.violation, x));
    }
    progress_.clear();
    return out;
  }

  std::string take_listing() {
    std::string text;
    text.swap(listing_);
    return text;
  }

  int step() {
    talvir_solver* const solver = handle();
    int request = TALVIR_REQUEST_NONE;
    int status = TALVIR_OK;
    {
      const SigintDuringStep sigint(solver);
      py::gil_scoped_release released;
      status = talvir_step(solver, &request);
    }
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();  // KeyboardInterrupt, at once
    check(status);
    return request;
  }

  void cannot_evaluate() { check(talvir_cannot_evaluate(handle())); }
  void stop() { check(talvir_stop(handle())); }
  void warm_start_from(const Solver& previous) {
    check(talvir_set_warm_start_from(handle(), previous.handle()));
  }

  // talvir_check_derivatives at x with the caller's functions (the GIL is held throughout): the records
  // (row, column, given, estimated, error), row -1 the objective. An exception of a function stops the
  // check and propagates.
  py::list check_derivatives(py::object fun, py::object cons, py::object grad, py::object jac, const Array& x,
                             double tolerance) {
    Checked k{{fun, cons, grad, jac}, n_, m_, {}, py::list()};
    int bad = 0;
    const int status =
        talvir_check_derivatives(handle(), &Checked::objective, &Checked::constraints, &Checked::gradient,
                                 &Checked::jacobian, &k, data(x, "x"), tolerance, &Checked::report, &k, &bad);
    if (k.error) std::rethrow_exception(k.error);
    check(status);
    return k.report_list;
  }

  // Array views over the handle's evaluation arrays; `self` becomes their base.
  static py::array view(py::object self, const double* data, py::ssize_t size, bool writable) {
    py::array_t<double> array({size}, {static_cast<py::ssize_t>(sizeof(double))}, data, self);
    if (!writable) array.attr("setflags")(py::arg("write") = false);
    return std::move(array);
  }
  static py::array point(py::object self) {
    const Solver& s = self.cast<const Solver&>();
    return view(self, s.x_, s.n_, false);
  }
  static py::array writable(py::object self, char which) {
    const Solver& s = self.cast<const Solver&>();
    if (which == 'f') return view(self, s.f_, 1, true);
    if (which == 'g') return view(self, s.g_, s.n_, true);
    if (s.m_ == 0) return py::array_t<double>(0);
    if (which == 'c') return view(self, s.c_, s.m_, true);
    return view(self, s.jac_, static_cast<py::ssize_t>(s.m_) * s.n_, true);
  }

  int ending() const {
    int ending = TALVIR_ENDING_NONE;
    check(talvir_get_ending(handle(), &ending));
    return ending;
  }
  std::string ending_message() const {
    const char* text = "";
    check(talvir_get_ending_message(handle(), &text));
    return text;
  }
  int ending_category() const {
    int category = TALVIR_CATEGORY_NONE;
    check(talvir_ending_category(ending(), &category));
    return category;
  }

  // A result array of `size` values filled by `get`.
  template <typename Getter>
  py::array_t<double> result(py::ssize_t size, Getter get) const {
    py::array_t<double> out(size);
    check(get(handle(), out.mutable_data()));
    return out;
  }
  py::array_t<double> x() const { return result(n_, talvir_get_x); }
  py::array_t<double> constraints() const { return result(m_, talvir_get_constraints); }
  py::array_t<double> multipliers() const { return result(m_, talvir_get_multipliers); }
  py::array_t<double> bound_multipliers() const { return result(n_, talvir_get_bound_multipliers); }
  double objective() const { return scalar(talvir_get_objective); }
  double max_violation() const { return scalar(talvir_get_max_violation); }
  int iterations() const {
    int iterations = 0;
    check(talvir_get_iterations(handle(), &iterations));
    return iterations;
  }
  std::tuple<int, int> evaluations() const {
    int values = 0, derivatives = 0;
    check(talvir_get_evaluations(handle(), &values, &derivatives));
    return {values, derivatives};
  }
  std::tuple<double, double, double> convergence() const {
    double sum = 0, threshold = 0, ratio = 0;
    check(talvir_get_convergence(handle(), &sum, &threshold, &ratio));
    return {sum, threshold, ratio};
  }

 private:
  static void collect(const char* text, void* user) { static_cast<Solver*>(user)->listing_ += text; }
  // The progress callback runs during step(), with the GIL released: it only records.
  static int record(const talvir_iteration* it, void* user) {
    auto& s = *static_cast<Solver*>(user);
    s.progress_.push_back({it->iteration, it->f, it->violation, std::vector<double>(it->x, it->x + s.n_)});
    return TALVIR_CALLBACK_OK;
  }

  double scalar(int (*get)(const talvir_solver*, double*)) const {
    double value = 0;
    check(get(handle(), &value));
    return value;
  }

  // The values of a 1-D array of n doubles; ValueError for another length.
  const double* data(const Array& values, const char* what) const {
    if (values.ndim() != 1 || values.shape(0) != n_) {
      throw py::value_error(std::string(what) + ": expected " + std::to_string(n_) + " values");
    }
    return values.data();
  }

  talvir_solver* handle_ = nullptr;
  int n_ = 0;
  int m_ = 0;
  const double* x_ = nullptr;
  double* f_ = nullptr;
  double* g_ = nullptr;
  double* c_ = nullptr;
  double* jac_ = nullptr;
  std::string listing_;  // filled by the listing sink during step(), with the GIL released
  struct Progress {
    int iteration;
    double f, violation;
    std::vector<double> x;
  };
  std::vector<Progress> progress_;  // filled by the progress callback during step()
};

// The parameter definitions: (name, description, type, minimum, maximum) per record.
std::vector<std::tuple<std::string, std::string, int, double, double>> parameters() {
  std::vector<std::tuple<std::string, std::string, int, double, double>> records;
  int count = 0;
  talvir_parameter_count(&count);
  for (int i = 0; i < count; ++i) {
    const char* name = "";
    const char* description = "";
    int type = 0;
    double minimum = 0, maximum = 0;
    talvir_parameter_info(i, &name, &description, &type, &minimum, &maximum, nullptr, nullptr, nullptr);
    records.emplace_back(name, description, type, minimum, maximum);
  }
  return records;
}

std::string ending_text(int ending) {
  const char* text = "";
  talvir_ending_text(ending, &text);
  return text;
}

}  // namespace

PYBIND11_MODULE(_talvir, module) {
  module.doc() = "The native TALVIR solver handle (talvir.h); use talvir.minimize.";
  SigintDuringStep::main_thread =
      py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
  module.def("parameters", &parameters);
  module.def("ending_text", &ending_text);
  module.attr("REQUEST_VALUES") = TALVIR_REQUEST_VALUES;
  module.attr("REQUEST_DERIVATIVES") = TALVIR_REQUEST_DERIVATIVES;
  module.attr("ENDING_CONVERGED") = TALVIR_ENDING_CONVERGED;
  module.attr("ENDING_UNBOUNDED") = TALVIR_ENDING_UNBOUNDED;
  module.attr("CATEGORY_SOLVED") = TALVIR_CATEGORY_SOLVED;
  py::class_<Solver>(module, "Solver")
      .def(py::init<int, const std::vector<int>&>(), py::arg("n"), py::arg("kinds"))
      .def("set_bounds", &Solver::set_bounds)
      .def("set_start", &Solver::set_start)
      .def("set_parameter", &Solver::set_parameter)
      .def("real_parameter", &Solver::real_parameter)
      .def("set_listing", &Solver::set_listing)
      .def("take_listing", &Solver::take_listing)
      .def("set_progress", &Solver::set_progress)
      .def("take_progress", &Solver::take_progress)
      .def("step", &Solver::step)
      .def("cannot_evaluate", &Solver::cannot_evaluate)
      .def("stop", &Solver::stop)
      .def("warm_start_from", &Solver::warm_start_from)
      .def("check_derivatives", &Solver::check_derivatives)
      .def("point", &Solver::point)
      .def_property_readonly("f", [](py::object self) { return Solver::writable(self, 'f'); })
      .def_property_readonly("g", [](py::object self) { return Solver::writable(self, 'g'); })
      .def_property_readonly("c", [](py::object self) { return Solver::writable(self, 'c'); })
      .def_property_readonly("jac", [](py::object self) { return Solver::writable(self, 'j'); })
      .def("ending", &Solver::ending)
      .def("ending_message", &Solver::ending_message)
      .def("ending_category", &Solver::ending_category)
      .def("x", &Solver::x)
      .def("objective", &Solver::objective)
      .def("constraints", &Solver::constraints)
      .def("multipliers", &Solver::multipliers)
      .def("bound_multipliers", &Solver::bound_multipliers)
      .def("max_violation", &Solver::max_violation)
      .def("iterations", &Solver::iterations)
      .def("evaluations", &Solver::evaluations)
      .def("convergence", &Solver::convergence);
}
