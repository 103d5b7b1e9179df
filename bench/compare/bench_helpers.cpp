// Helpers shared by the solver adapters (contracts in solver_adapter.h).
#include <limits>

#include "bench/compare/solver_adapter.h"

namespace talvir::bench {

void bounds_with_infinities(const problems::TestProblem& problem, std::vector<double>& xl,
                            std::vector<double>& xu) {
  const int n = problem.n();
  xl.assign(n, 0.0);
  xu.assign(n, 0.0);
  problem.bounds(xl.data(), xu.data());
  const double inf = std::numeric_limits<double>::infinity();
  for (int i = 0; i < n; ++i) {
    if (xl[i] <= -problems::kInfinity) xl[i] = -inf;
    if (xu[i] >= problems::kInfinity) xu[i] = inf;
  }
}

void jacobian_pairs(const problems::TestProblem& problem, std::vector<int>& rows, std::vector<int>& cols) {
  rows.clear();
  cols.clear();
  if (problem.jacobian_structure(rows, cols)) return;
  for (int j = 0; j < problem.m(); ++j)
    for (int i = 0; i < problem.n(); ++i) rows.push_back(j), cols.push_back(i);
}

}  // namespace talvir::bench
