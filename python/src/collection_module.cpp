// talvir_collection: the bundled test-problem collection (host/problems) seen from Python, for the
// Python tests and benchmarks only (built beside the package, never installed).
//
//   names() -> [str]                        every bundled name, in listing order
//   Problem(name, size=0)                   ValueError for an unknown name (size: n of "chain", "qp")
//     .name, .n, .m, .kinds (m ints: 0 c = 0, +1 c >= 0, -1 c <= 0), .lower, .upper (n values,
//     +-1e20 for none), .start, .optimum and .tolerance (NaN when unknown)
//     .objective(x) -> float, .gradient(x) -> (n,), .constraints(x) -> (m,), .jacobian(x) -> (m, n)
//   native_solve(problem, repeats) -> (seconds per solve, ending, f, values, derivatives)
//     solves the problem `repeats` times through the C API's callback driver with C++ callbacks (no
//     Python during the solves, GIL released): the native side of the per-call overhead benchmark.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "host/problems/problem.h"
#include "talvir/talvir.h"

namespace py = pybind11;
namespace problems = talvir::problems;

namespace {

using Vector = py::array_t<double, py::array::c_style | py::array::forcecast>;

class Problem {
 public:
  explicit Problem(const std::string& name, int size) : problem_(problems::make_problem(name, size)) {
    if (!problem_) throw py::value_error("no bundled problem named " + name);
  }
  const problems::TestProblem& get() const { return *problem_; }
  int n() const { return problem_->n(); }
  int m() const { return problem_->m(); }

  std::vector<int> kinds() const {
    std::vector<int> kinds(static_cast<size_t>(m()));
    for (int j = 0; j < m(); ++j) kinds[static_cast<size_t>(j)] = problem_->kind(j);
    return kinds;
  }
  py::array_t<double> side(bool lower) const {
    std::vector<double> xl(static_cast<size_t>(n())), xu(static_cast<size_t>(n()));
    problem_->bounds(xl.data(), xu.data());
    return py::array_t<double>(n(), lower ? xl.data() : xu.data());
  }
  py::array_t<double> start() const {
    py::array_t<double> x(n());
    problem_->start(x.mutable_data());
    return x;
  }

  double objective(const Vector& x) const { return problem_->objective(checked(x)); }
  py::array_t<double> gradient(const Vector& x) const {
    py::array_t<double> g(n());
    problem_->gradient(checked(x), g.mutable_data());
    return g;
  }
  py::array_t<double> constraints(const Vector& x) const {
    py::array_t<double> c(m());
    problem_->constraints(checked(x), c.mutable_data());
    return c;
  }
  py::array_t<double> jacobian(const Vector& x) const {
    py::array_t<double> a({m(), n()});
    problem_->jacobian(checked(x), a.mutable_data());
    return a;
  }

 private:
  const double* checked(const Vector& x) const {
    if (x.ndim() != 1 || x.shape(0) != n()) throw py::value_error("x must have n values");
    return x.data();
  }
  std::unique_ptr<problems::TestProblem> problem_;
};

// The callbacks of the native driver: the test problem evaluated directly.
const problems::TestProblem& of(void* user) {
  return *static_cast<const problems::TestProblem*>(user);
}
int objective(int, const double* x, double* f, void* user) {
  *f = of(user).objective(x);
  return TALVIR_CALLBACK_OK;
}
int constraints(int, int, const double* x, double* c, void* user) {
  of(user).constraints(x, c);
  return TALVIR_CALLBACK_OK;
}
int gradient(int, const double* x, double* g, void* user) {
  of(user).gradient(x, g);
  return TALVIR_CALLBACK_OK;
}
int jacobian(int, int, int, const double* x, double* values, void* user) {
  of(user).jacobian(x, values);
  return TALVIR_CALLBACK_OK;
}

// One solve from the problem's start; returns (ending, f, values, derivatives).
std::tuple<int, double, int, int> solve_once(const problems::TestProblem& p) {
  const int n = p.n(), m = p.m();
  std::vector<int> kinds(static_cast<size_t>(m));
  for (int j = 0; j < m; ++j) kinds[static_cast<size_t>(j)] = p.kind(j);
  std::vector<double> xl(static_cast<size_t>(n)), xu(static_cast<size_t>(n)), x0(static_cast<size_t>(n));
  p.bounds(xl.data(), xu.data());
  p.start(x0.data());
  talvir_solver* solver = nullptr;
  if (talvir_create(n, m, kinds.data(), &solver) != TALVIR_OK)
    throw std::runtime_error("talvir_create failed");
  talvir_set_bounds(solver, xl.data(), xu.data());
  talvir_set_start(solver, x0.data());
  talvir_solve(solver, objective, constraints, gradient, jacobian, const_cast<problems::TestProblem*>(&p));
  int ending = 0, values = 0, derivatives = 0;
  double f = 0;
  talvir_get_ending(solver, &ending);
  talvir_get_objective(solver, &f);
  talvir_get_evaluations(solver, &values, &derivatives);
  talvir_free(solver);
  return {ending, f, values, derivatives};
}

std::tuple<double, int, double, int, int> native_solve(const Problem& problem, int repeats) {
  if (repeats < 1) throw py::value_error("repeats must be >= 1");
  std::tuple<int, double, int, int> last;
  py::gil_scoped_release released;
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) last = solve_once(problem.get());
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return {elapsed.count() / repeats, std::get<0>(last), std::get<1>(last), std::get<2>(last),
          std::get<3>(last)};
}

}  // namespace

PYBIND11_MODULE(talvir_collection, module) {
  module.doc() = "The bundled test problems, for the talvir package's tests and benchmarks.";
  module.def("names", &problems::problem_names);
  module.def("native_solve", &native_solve, py::arg("problem"), py::arg("repeats"));
  py::class_<Problem>(module, "Problem")
      .def(py::init<const std::string&, int>(), py::arg("name"), py::arg("size") = 0)
      .def_property_readonly("name", [](const Problem& p) { return p.get().name(); })
      .def_property_readonly("n", &Problem::n)
      .def_property_readonly("m", &Problem::m)
      .def_property_readonly("kinds", &Problem::kinds)
      .def_property_readonly("lower", [](const Problem& p) { return p.side(true); })
      .def_property_readonly("upper", [](const Problem& p) { return p.side(false); })
      .def_property_readonly("start", &Problem::start)
      .def_property_readonly("optimum", [](const Problem& p) { return p.get().known_optimum(); })
      .def_property_readonly("tolerance", [](const Problem& p) { return p.get().optimum_tolerance(); })
      .def("objective", &Problem::objective)
      .def("gradient", &Problem::gradient)
      .def("constraints", &Problem::constraints)
      .def("jacobian", &Problem::jacobian);
}
