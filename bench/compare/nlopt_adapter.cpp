// NLopt's SLSQP (NLOPT_LD_SLSQP) on a bundled problem: objective with gradient, the constraints as
// two vector constraints (equalities; inequalities turned into c <= 0), the bounds with +-infinity
// for unbounded sides. Options: ftol_rel = the tolerance, maxeval = 10 x the iteration limit,
// constraint tolerance 1e-8. Evaluations: objective calls (each with its constraints at the same
// point); iterations: the calls that asked for a gradient. Success: NLopt's result code is positive.
#include <nlopt.h>

#include <algorithm>
#include <cstring>

#include "bench/compare/solver_adapter.h"

namespace talvir::bench {
namespace {

// The problem's values at the latest point, computed once for the objective and both constraints.
struct Evaluator {
  const problems::TestProblem& problem;
  int n, m;
  std::vector<int> equalities, inequalities;  // constraint numbers
  std::vector<double> last_x, c, jac;
  bool have_values = false, have_jacobian = false;
  long calls = 0, gradient_calls = 0;

  explicit Evaluator(const problems::TestProblem& p)
      : problem(p),
        n(p.n()),
        m(p.m()),
        last_x(p.n()),
        c(p.m() + 1),
        jac(static_cast<std::size_t>(p.m()) * p.n() + 1) {
    for (int j = 0; j < m; ++j) (p.kind(j) == 0 ? equalities : inequalities).push_back(j);
  }
  void at(const double* x, bool need_jacobian) {
    if (std::memcmp(x, last_x.data(), sizeof(double) * n) != 0 || !have_values) {
      std::copy(x, x + n, last_x.begin());
      if (m > 0) problem.constraints(x, c.data());
      have_values = true;
      have_jacobian = false;
    }
    if (need_jacobian && !have_jacobian && m > 0) {
      problem.jacobian(x, jac.data());
      have_jacobian = true;
    }
  }
};

double objective(unsigned, const double* x, double* grad, void* data) {
  auto* e = static_cast<Evaluator*>(data);
  ++e->calls;
  if (grad != nullptr) {
    ++e->gradient_calls;
    e->problem.gradient(x, grad);
  }
  return e->problem.objective(x);
}

// Constraint rows `which` as r(x) <= 0 (or = 0): a kind +1 row changes sign.
void rows(const std::vector<int>& which, Evaluator& e, double* result, const double* x, double* grad) {
  e.at(x, grad != nullptr);
  for (std::size_t r = 0; r < which.size(); ++r) {
    const int j = which[r];
    const double sign = e.problem.kind(j) > 0 ? -1.0 : 1.0;
    result[r] = sign * e.c[j];
    if (grad == nullptr) continue;
    for (int i = 0; i < e.n; ++i) grad[r * e.n + i] = sign * e.jac[static_cast<std::size_t>(j) * e.n + i];
  }
}

void equality_rows(unsigned, double* result, unsigned, const double* x, double* grad, void* data) {
  auto* e = static_cast<Evaluator*>(data);
  rows(e->equalities, *e, result, x, grad);
}
void inequality_rows(unsigned, double* result, unsigned, const double* x, double* grad, void* data) {
  auto* e = static_cast<Evaluator*>(data);
  rows(e->inequalities, *e, result, x, grad);
}

class NloptAdapter final : public SolverAdapter {
 public:
  std::string name() const override { return "nlopt-slsqp"; }

  SolveReport solve(const problems::TestProblem& problem, const SolveLimits& limits) override {
    Evaluator e(problem);
    const int n = problem.n();
    std::vector<double> xl, xu, x(n);
    bounds_with_infinities(problem, xl, xu);
    problem.start(x.data());
    for (int i = 0; i < n; ++i) x[i] = std::clamp(x[i], xl[i], xu[i]);  // NLopt refuses a start outside
    nlopt_opt opt = nlopt_create(NLOPT_LD_SLSQP, static_cast<unsigned>(n));
    nlopt_set_lower_bounds(opt, xl.data());
    nlopt_set_upper_bounds(opt, xu.data());
    nlopt_set_min_objective(opt, objective, &e);
    const std::vector<double> eq_tol(e.equalities.size() + 1, 1e-8), in_tol(e.inequalities.size() + 1, 1e-8);
    if (!e.equalities.empty())
      nlopt_add_equality_mconstraint(opt, static_cast<unsigned>(e.equalities.size()), equality_rows, &e,
                                     eq_tol.data());
    if (!e.inequalities.empty())
      nlopt_add_inequality_mconstraint(opt, static_cast<unsigned>(e.inequalities.size()), inequality_rows, &e,
                                       in_tol.data());
    nlopt_set_ftol_rel(opt, limits.tolerance);
    nlopt_set_maxeval(opt, 10 * limits.max_iterations);
    double f = 0.0;
    const nlopt_result result = nlopt_optimize(opt, x.data(), &f);
    nlopt_destroy(opt);
    SolveReport report;
    report.reported_success = result > 0;
    report.x = x;
    report.evaluations = e.calls;
    report.iterations = e.gradient_calls;
    return report;
  }
};

}  // namespace

std::unique_ptr<SolverAdapter> make_nlopt_adapter() {
  return std::make_unique<NloptAdapter>();
}

}  // namespace talvir::bench
