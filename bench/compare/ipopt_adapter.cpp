// Ipopt (through its C interface) on a bundled problem: first derivatives only, so the Hessian is its
// limited-memory quasi-Newton approximation. Options: tol = the tolerance (Ipopt's scaled NLP error),
// max_iter = the iteration limit, print_level 0, no banner. Constraints are g(x) with bounds [0, 0],
// [-inf, 0] or [0, inf] by kind. Evaluations: objective evaluations; iterations: Ipopt's own count
// (from its intermediate callback). Success: "Solve_Succeeded" or "Solved_To_Acceptable_Level".
#include <IpStdCInterface.h>

#include <algorithm>
#include <cmath>

#include "bench/compare/solver_adapter.h"

namespace talvir::bench {
namespace {

struct Evaluator {
  const problems::TestProblem& problem;
  std::vector<int> rows, cols;
  std::vector<double> jac;
  long objective_calls = 0;
  int iterations = 0;
};

Bool eval_f(Index, Number* x, Bool, Number* f, UserDataPtr data) {
  auto* e = static_cast<Evaluator*>(data);
  ++e->objective_calls;
  *f = e->problem.objective(x);
  return std::isfinite(*f);
}
Bool eval_grad_f(Index, Number* x, Bool, Number* g, UserDataPtr data) {
  static_cast<Evaluator*>(data)->problem.gradient(x, g);
  return 1;
}
Bool eval_g(Index, Number* x, Bool, Index m, Number* g, UserDataPtr data) {
  if (m > 0) static_cast<Evaluator*>(data)->problem.constraints(x, g);
  return 1;
}
Bool eval_jac_g(Index n, Number* x, Bool, Index, Index count, Index* i_row, Index* j_col, Number* values,
                UserDataPtr data) {
  auto* e = static_cast<Evaluator*>(data);
  if (values == nullptr) {
    std::copy(e->rows.begin(), e->rows.end(), i_row);
    std::copy(e->cols.begin(), e->cols.end(), j_col);
    return 1;
  }
  e->problem.jacobian(x, e->jac.data());
  for (Index k = 0; k < count; ++k) values[k] = e->jac[static_cast<std::size_t>(e->rows[k]) * n + e->cols[k]];
  return 1;
}
Bool eval_h(Index, Number*, Bool, Number, Index, Number*, Bool, Index, Index*, Index*, Number*, UserDataPtr) {
  return 0;  // never asked for: the Hessian is approximated
}
Bool count_iteration(Index, Index iteration, Number, Number, Number, Number, Number, Number, Number, Number,
                     Index, UserDataPtr data) {
  static_cast<Evaluator*>(data)->iterations = iteration;
  return 1;
}

class IpoptAdapter final : public SolverAdapter {
 public:
  std::string name() const override { return "ipopt"; }

  SolveReport solve(const problems::TestProblem& problem, const SolveLimits& limits) override {
    const int n = problem.n(), m = problem.m();
    Evaluator e{problem, {}, {}, std::vector<double>(static_cast<std::size_t>(m) * n + 1), 0, 0};
    jacobian_pairs(problem, e.rows, e.cols);
    std::vector<double> xl, xu, gl(m + 1), gu(m + 1), x(n);
    bounds_with_infinities(problem, xl, xu);
    for (int j = 0; j < m; ++j) {
      gl[j] = problem.kind(j) < 0 ? -1.0e20 : 0.0;
      gu[j] = problem.kind(j) > 0 ? 1.0e20 : 0.0;
    }
    for (int i = 0; i < n; ++i) {  // Ipopt's own "infinite" bound
      xl[i] = std::max(xl[i], -1.0e20);
      xu[i] = std::min(xu[i], 1.0e20);
    }
    IpoptProblem ip = CreateIpoptProblem(n, xl.data(), xu.data(), m, gl.data(), gu.data(),
                                         static_cast<Index>(e.rows.size()), 0, 0, eval_f, eval_g, eval_grad_f,
                                         eval_jac_g, eval_h);
    AddIpoptNumOption(ip, const_cast<char*>("tol"), limits.tolerance);
    AddIpoptIntOption(ip, const_cast<char*>("max_iter"), limits.max_iterations);
    AddIpoptIntOption(ip, const_cast<char*>("print_level"), 0);
    AddIpoptStrOption(ip, const_cast<char*>("sb"), const_cast<char*>("yes"));
    AddIpoptStrOption(ip, const_cast<char*>("hessian_approximation"), const_cast<char*>("limited-memory"));
    SetIntermediateCallback(ip, count_iteration);
    problem.start(x.data());
    double f = 0.0;
    const ApplicationReturnStatus status =
        IpoptSolve(ip, x.data(), nullptr, &f, nullptr, nullptr, nullptr, &e);
    FreeIpoptProblem(ip);
    SolveReport report;
    report.reported_success = status == Solve_Succeeded || status == Solved_To_Acceptable_Level;
    report.x = x;
    report.evaluations = e.objective_calls;
    report.iterations = e.iterations;
    return report;
  }
};

}  // namespace

std::unique_ptr<SolverAdapter> make_ipopt_adapter() {
  return std::make_unique<IpoptAdapter>();
}

}  // namespace talvir::bench
