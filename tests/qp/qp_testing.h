// Shared helpers of the QP tests: dense/packed matrix utilities, seeded random QPs in QPSUB's form,
// the KKT check of a QPSUB result and a brute-force solver over active sets for tiny problems.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qp_testing {

using Vec = std::vector<double>;

inline std::size_t ppos(int i, int j, int n) {  // 0-based slot of (i, j), i >= j, packed by columns
  if (i < j) std::swap(i, j);
  return static_cast<std::size_t>(i + (j - 1) * n - j * (j - 1) / 2 - 1);
}

// Random symmetric positive definite matrix of order n, packed; eigenvalues roughly in [shift, n+shift].
inline Vec random_spd(int n, std::mt19937& rng, double shift = 0.5) {
  std::normal_distribution<double> nd(0.0, 1.0);
  std::vector<double> b(static_cast<std::size_t>(n) * n);
  for (double& x : b) x = nd(rng) / std::sqrt(static_cast<double>(n));
  Vec h(static_cast<std::size_t>(n) * (n + 1) / 2);
  for (int j = 1; j <= n; ++j)
    for (int i = j; i <= n; ++i) {
      double s = (i == j) ? shift : 0.0;
      for (int k = 0; k < n; ++k) s += b[(i - 1) * n + k] * b[(j - 1) * n + k];
      h[ppos(i, j, n)] = s;
    }
  return h;
}

// One QP in QPSUB's form (the caller's view, before QPSUB transforms anything).
struct Problem {
  int nq = 0, m = 0, me = 0;
  std::vector<int> ktype;
  Vec g, h, a, c, dl, du;  // a is NQ x M (LCN = NQ); g, dl, du have NQ entries
  int lcn() const { return nq; }
};

struct Result {
  Vec d, u, dl, du;
  std::vector<int> ktype;
  int qpfail = -1;
};

// Calls QPSUB on copies of the data with workspaces of exactly the minimum lengths.
Result solve(const Problem& p, int mode, int iprint = -1);

struct RandomShape {
  int n = 5;   // step variables (NQ = n + 1)
  int me = 1;  // equalities
  int mr = 3;  // inequalities, both senses
  bool feasible = true;
  double bound = 2.0;  // box half-width scale
};

// A strictly convex QP whose linearised constraints hold at some point inside the box (feasible), or
// one with a contradictory pair of inequalities (infeasible).
Problem random_problem(const RandomShape& shape, std::mt19937& rng);

// The problem QPSUB actually solves: variables D(1..NQ), every constraint a'D + c >= 0 or = 0.
struct Internal {
  int nq = 0, m = 0;
  Vec g, h, a, c, lo, hi;
  std::vector<int> eq;  // 1 for equalities
};
Internal internal_form(const Problem& p);

// Largest KKT residuals of a QPSUB result on the internal form, each relative to the problem's scale.
struct Kkt {
  double stationarity = 0, feasibility = 0, sign = 0, complementarity = 0;
  double worst() const;
};
Kkt check_kkt(const Problem& p, const Result& r);

// Brute force for tiny problems: the best point over all faces (equality-constrained minimisers of
// every subset of inequality rows and bounds taken as equalities) that is feasible.
Vec brute_force(const Internal& q, double& best_objective);
double objective(const Internal& q, const Vec& d);

// The internal form without the equalities whose normals depend on earlier ones (relative 1e-9):
// internal equalities are homogeneous, so the feasible set is the same; `dropped` counts them.
Internal without_dependent_equalities(const Internal& q, int& dropped);

double max_abs_diff(const Vec& x, const Vec& y);

// True when the normals of the equalities and of every constraint or bound with a non-zero multiplier
// in either result are linearly independent: the multipliers are then unique and must agree.
bool multipliers_unique(const Problem& p, const Result& x, const Result& y);

}  // namespace qp_testing
