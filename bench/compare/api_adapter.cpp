// The TALVIR native C API (libtalvir) as its users drive it, in either "Strategy" ("talvir-api" the
// default "Robust", "talvir-api-faithful" the documented method): one solver per solve, "OptTol" (the
// tolerance, relative to max(1, |f|)) and "MaxIterations" set by name, the problem's own bounds (+-1e20:
// none), start point and Jacobian structure, then talvir_step's reverse communication answered from the
// problem until the solve ends. Evaluations: points where the functions were evaluated (the start and
// every values request); iterations: derivative evaluations, as the plug-in adapter counts them. No
// listing; no COM objects, host services or files on this path.
#include <cstddef>
#include <vector>

#include "bench/compare/solver_adapter.h"
#include "talvir/talvir.h"

namespace talvir::bench {
namespace {

class ApiAdapter final : public SolverAdapter {
 public:
  explicit ApiAdapter(const char* strategy) : strategy_(strategy) {}
  std::string name() const override {
    return strategy_ == std::string("Robust") ? "talvir-api" : "talvir-api-faithful";
  }

  SolveReport solve(const problems::TestProblem& p, const SolveLimits& limits) override {
    SolveReport report;
    const int n = p.n(), m = p.m();
    kinds_.resize(m);
    for (int j = 0; j < m; ++j) kinds_[j] = p.kind(j);
    talvir_solver* s = nullptr;
    if (talvir_create(n, m, kinds_.data(), &s) != TALVIR_OK) return report;
    set_up(s, p, limits);
    const double* x = nullptr;
    double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
    talvir_evaluation_arrays(s, &x, &f, &g, &c, &jac);
    int request = TALVIR_REQUEST_NONE;
    for (talvir_step(s, &request); request != TALVIR_REQUEST_NONE; talvir_step(s, &request)) {
      if (request & TALVIR_REQUEST_VALUES) {
        *f = p.objective(x);
        if (m > 0) p.constraints(x, c);
      }
      if (request & TALVIR_REQUEST_DERIVATIVES) {
        p.gradient(x, g);
        if (m > 0) sparse_jacobian(p, x, jac);
      }
    }
    int ending = TALVIR_ENDING_NONE, values = 0, derivatives = 0;
    talvir_get_ending(s, &ending);
    talvir_get_evaluations(s, &values, &derivatives);
    report.reported_success = ending == TALVIR_ENDING_CONVERGED;
    report.x.resize(n);
    talvir_get_x(s, report.x.data());
    report.evaluations = values;
    report.iterations = derivatives;
    talvir_free(s);
    return report;
  }

 private:
  void set_up(talvir_solver* s, const problems::TestProblem& p, const SolveLimits& limits) {
    xl_.resize(p.n());
    xu_.resize(p.n());
    x0_.resize(p.n());
    p.bounds(xl_.data(), xu_.data());
    p.start(x0_.data());
    talvir_set_bounds(s, xl_.data(), xu_.data());
    talvir_set_start(s, x0_.data());
    rows_.clear();
    cols_.clear();
    if (p.m() > 0) {
      jacobian_pairs(p, rows_, cols_);
      talvir_set_jacobian_structure(s, static_cast<int>(rows_.size()), rows_.data(), cols_.data());
    }
    talvir_set_real_parameter(s, "OptTol", limits.tolerance);
    talvir_set_integer_parameter(s, "MaxIterations", limits.max_iterations);
    talvir_set_text_parameter(s, "Strategy", strategy_);
  }
  void sparse_jacobian(const problems::TestProblem& p, const double* x, double* values) {
    dense_.resize(static_cast<std::size_t>(p.m()) * p.n());
    p.jacobian(x, dense_.data());
    for (std::size_t k = 0; k < rows_.size(); ++k) {
      values[k] = dense_[static_cast<std::size_t>(rows_[k]) * p.n() + cols_[k]];
    }
  }

  const char* strategy_;
  std::vector<int> kinds_, rows_, cols_;
  std::vector<double> xl_, xu_, x0_, dense_;
};

}  // namespace

std::unique_ptr<SolverAdapter> make_api_adapter(const char* strategy) {
  return std::make_unique<ApiAdapter>(strategy);
}

}  // namespace talvir::bench
