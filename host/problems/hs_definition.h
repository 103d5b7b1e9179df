// Internal to the problem library: the record that defines one fixed-size test problem, and the
// groups of records that make up the Hock-Schittkowski part of the collection.
//
// A record holds plain data (sizes, kinds, bounds, start, published optimum and solution point) and
// four function pointers. The wrapper zeroes `g` and `jac` before calling the derivative functions,
// so each definition writes only its non-zero entries.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "host/problems/problem.h"

namespace talvir::problems {

// Row-major view of a dense m x n Jacobian: a(j, i) = d c_j / d x_i.
struct JacobianView {
  double* values;
  int n;
  double& operator()(int j, int i) const { return values[j * n + i]; }
};

struct FixedDefinition {
  const char* name;
  const char* description;
  int n;
  int m;
  std::vector<int> kinds;        // m entries: 0 equality, -1 c <= 0, +1 c >= 0
  std::vector<double> lower;     // n entries, or empty for "no lower bounds"
  std::vector<double> upper;     // n entries, or empty for "no upper bounds"
  std::vector<double> start;     // n entries
  const char* optimum;           // the published optimal value, written as published
  std::vector<double> solution;  // the published solution point, or empty when not known
  double (*objective)(const double* x);
  void (*gradient)(const double* x, double* g);
  void (*constraints)(const double* x, double* c);    // null when m = 0
  void (*jacobian)(const double* x, JacobianView a);  // null when m = 0
};

inline constexpr double kInf = kInfinity;

// n copies of v (for bounds and starting points).
inline std::vector<double> fill(int n, double v) {
  return std::vector<double>(static_cast<size_t>(n), v);
}

// m copies of a constraint kind.
inline std::vector<int> fill_kinds(int m, int kind) {
  return std::vector<int>(static_cast<size_t>(m), kind);
}

// The problem a record defines.
std::unique_ptr<TestProblem> make_fixed_problem(const FixedDefinition& definition);

// Jacobian of the two equalities of hs046 and hs077 (they differ only in their constants).
void hs046_hs077_jacobian(const double* x, JacobianView a);

// The groups of the Hock-Schittkowski collection, each appending its records in numbering order.
void add_hs001_to_hs024(std::vector<FixedDefinition>& definitions);
void add_hs026_to_hs045(std::vector<FixedDefinition>& definitions);
void add_hs046_to_hs066(std::vector<FixedDefinition>& definitions);
void add_hs071_to_hs083(std::vector<FixedDefinition>& definitions);
void add_hs100_to_hs113(std::vector<FixedDefinition>& definitions);

}  // namespace talvir::problems
