// Internal to the problem library: the two scalable problems, n chosen by the caller.
//
//   make_chain(n)  chained Rosenbrock function with bounds and banded inequality and equality
//                  constraints that hold at its minimiser x* = (1, ..., 1), f* = 0; n >= 2 (default
//                  10; above about 25 it needs more than the default 100 iterations).
//   make_qp(n)     strictly convex quadratic with one dense linear equality, a chain of linear
//                  inequalities of both senses and an active bound, built around a chosen KKT point
//                  so that its minimiser and optimum are known exactly; n >= 2 (default 20).
// Both return nullptr for n below 2.
#pragma once

#include <memory>

#include "host/problems/problem.h"

namespace talvir::problems {

inline constexpr int kChainDefaultSize = 10;
inline constexpr int kQpDefaultSize = 20;

std::unique_ptr<TestProblem> make_chain(int n);
std::unique_ptr<TestProblem> make_qp(int n);

}  // namespace talvir::problems
