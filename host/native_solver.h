// A native C API solver (libtalvir) set up for a bundled problem: its constraint kinds, bounds and
// start point; null when talvir_create refuses it. evaluate_problem answers talvir_solve_with's
// requests from the problem (user: the TestProblem; the default dense structure, row by row).
// Header-only, for the programs that link libtalvir (the reference host's native commands, benchmarks).
#pragma once

#include <memory>
#include <vector>

#include "host/problems/problem.h"
#include "talvir/talvir.h"

namespace talvir::host {

using NativeSolver = std::unique_ptr<talvir_solver, int (*)(talvir_solver*)>;

inline NativeSolver native_solver(const problems::TestProblem& p) {
  std::vector<int> kinds(p.m());
  for (int j = 0; j < p.m(); ++j) kinds[j] = p.kind(j);
  std::vector<double> xl(p.n()), xu(p.n()), x0(p.n());
  p.bounds(xl.data(), xu.data());
  p.start(x0.data());
  talvir_solver* s = nullptr;
  if (talvir_create(p.n(), p.m(), kinds.data(), &s) != TALVIR_OK) return NativeSolver(nullptr, talvir_free);
  talvir_set_bounds(s, xl.data(), xu.data());
  talvir_set_start(s, x0.data());
  return NativeSolver(s, talvir_free);
}

inline int evaluate_problem(int request, int, int m, int, const double* x, double* f, double* c, double* g,
                            double* jac, void* user) {
  const auto& p = *static_cast<const problems::TestProblem*>(user);
  if (request & TALVIR_REQUEST_VALUES) {
    *f = p.objective(x);
    if (m > 0) p.constraints(x, c);
  }
  if (request & TALVIR_REQUEST_DERIVATIVES) {
    p.gradient(x, g);
    if (m > 0) p.jacobian(x, jac);
  }
  return TALVIR_CALLBACK_OK;
}

}  // namespace talvir::host
