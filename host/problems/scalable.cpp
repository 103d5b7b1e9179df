// The two scalable problems of the collection (see scalable.h for their contracts).
//
// chain: f(x) = sum_{i<n-1} 100 (x_{i+1} - x_i^2)^2 + (1 - x_i)^2 with -0.5 <= x_i <= 2,
//   n-1 inequalities x_i^2 + x_{i+1}^2 - 4 <= 0 and floor(n/2) equalities x_{2k}^2 - x_{2k+1} = 0
//   (the valley floor, so the feasible set stays connected). f >= 0 everywhere and
//   x* = (1, ..., 1) is feasible with f = 0, so it is the global minimiser; the lower bound -0.5 cuts
//   off the chained function's second local minimum near x_0 = -1. Start: (-0.4, 1, -0.4, 1, ...).
// qp: f(x) = x'Hx/2 + q'x with H tridiagonal (4 on the diagonal, -1 beside it), one equality
//   sum x_i = S, n-1 ordering inequalities e_j(x) = x_j - x_{j-1} - d_j >= 0 (every third written as
//   -e_j <= 0), bounds -10 <= x <= 10 except x_0 >= x*_0. The point x*, the gaps d_j (odd j active,
//   even j inactive by 1) and the multipliers are chosen first and q is solved from the KKT
//   conditions; H is positive definite and the constraints are linear, so x* is the unique minimiser.
#include "host/problems/scalable.h"

#include <algorithm>
#include <cmath>

namespace talvir::problems {
namespace {

class Chain final : public TestProblem {
 public:
  explicit Chain(int n) : n_(n) {}
  std::string name() const override { return "chain"; }
  std::string description() const override {
    return "chained Rosenbrock, banded inequalities and equalities, bounds (scalable)";
  }
  int n() const override { return n_; }
  int m() const override { return inequalities() + equalities(); }
  int kind(int j) const override { return j < inequalities() ? -1 : 0; }
  void bounds(double* xl, double* xu) const override {
    for (int i = 0; i < n_; ++i) {
      xl[i] = -0.5;
      xu[i] = 2.0;
    }
  }
  void start(double* x) const override {
    for (int i = 0; i < n_; ++i) x[i] = (i % 2 == 0) ? -0.4 : 1.0;
  }
  double objective(const double* x) const override {
    double f = 0.0;
    for (int i = 0; i + 1 < n_; ++i) {
      const double r = x[i + 1] - x[i] * x[i];
      f += 100.0 * r * r + (1.0 - x[i]) * (1.0 - x[i]);
    }
    return f;
  }
  void gradient(const double* x, double* g) const override {
    for (int i = 0; i < n_; ++i) g[i] = 0.0;
    for (int i = 0; i + 1 < n_; ++i) {
      const double r = x[i + 1] - x[i] * x[i];
      g[i] += -400.0 * x[i] * r - 2.0 * (1.0 - x[i]);
      g[i + 1] += 200.0 * r;
    }
  }
  void constraints(const double* x, double* c) const override {
    for (int i = 0; i < inequalities(); ++i) c[i] = x[i] * x[i] + x[i + 1] * x[i + 1] - 4.0;
    for (int k = 0; k < equalities(); ++k) c[inequalities() + k] = x[2 * k] * x[2 * k] - x[2 * k + 1];
  }
  void jacobian(const double* x, double* jac) const override {
    for (int k = 0; k < m() * n_; ++k) jac[k] = 0.0;
    for (int i = 0; i < inequalities(); ++i) {
      jac[i * n_ + i] = 2.0 * x[i];
      jac[i * n_ + i + 1] = 2.0 * x[i + 1];
    }
    for (int k = 0; k < equalities(); ++k) {
      const int row = inequalities() + k;
      jac[row * n_ + 2 * k] = 2.0 * x[2 * k];
      jac[row * n_ + 2 * k + 1] = -1.0;
    }
  }
  double known_optimum() const override { return 0.0; }
  double optimum_tolerance() const override { return 1e-6; }
  bool solution(double* x) const override {
    for (int i = 0; i < n_; ++i) x[i] = 1.0;
    return true;
  }
  bool jacobian_structure(std::vector<int>& rows, std::vector<int>& cols) const override {
    rows.clear();
    cols.clear();
    for (int i = 0; i < inequalities(); ++i) {
      rows.insert(rows.end(), {i, i});
      cols.insert(cols.end(), {i, i + 1});
    }
    for (int k = 0; k < equalities(); ++k) {
      rows.insert(rows.end(), {inequalities() + k, inequalities() + k});
      cols.insert(cols.end(), {2 * k, 2 * k + 1});
    }
    return true;
  }

 private:
  int inequalities() const { return n_ - 1; }
  int equalities() const { return n_ / 2; }
  int n_;
};

class ConvexQp final : public TestProblem {
 public:
  explicit ConvexQp(int n) : n_(n), xstar_(n), gap_(n, 0.0), q_(n) {
    for (int i = 0; i < n_; ++i) xstar_[i] = 0.5 + 0.4 * std::sin(1.3 * (i + 1));
    // KKT at x*: H x* + q = lambda0 * 1 + sum_active nu_j (e_j - e_{j-1}) + mu * e_0.
    const double lambda0 = 0.5;
    const double mu = 0.7;
    hessian_times(xstar_.data(), q_.data());
    for (int i = 0; i < n_; ++i) q_[i] = -q_[i] + lambda0;
    q_[0] += mu;
    for (int j = 1; j < n_; ++j) {
      const double step = xstar_[j] - xstar_[j - 1];
      const bool active = (j % 2 == 1);
      gap_[j] = active ? step : step - 1.0;
      if (active) {
        const double nu = 1.0 + 0.1 * j;
        q_[j] += nu;
        q_[j - 1] -= nu;
      }
    }
    optimum_ = objective(xstar_.data());
  }
  std::string name() const override { return "qp"; }
  std::string description() const override {
    return "strictly convex quadratic, linear equality and inequalities of both senses (scalable)";
  }
  int n() const override { return n_; }
  int m() const override { return n_; }
  int kind(int j) const override { return j == 0 ? 0 : sense(j); }
  void bounds(double* xl, double* xu) const override {
    for (int i = 0; i < n_; ++i) {
      xl[i] = -10.0;
      xu[i] = 10.0;
    }
    xl[0] = xstar_[0];
  }
  void start(double* x) const override {
    for (int i = 0; i < n_; ++i) x[i] = 1.0;
  }
  double objective(const double* x) const override {
    double f = 0.0;
    for (int i = 0; i < n_; ++i) {
      const double below = i > 0 ? x[i - 1] : 0.0;
      f += x[i] * (2.0 * x[i] - below) + q_[i] * x[i];  // x'Hx/2 = sum 2 x_i^2 - x_i x_{i-1}
    }
    return f;
  }
  void gradient(const double* x, double* g) const override {
    hessian_times(x, g);
    for (int i = 0; i < n_; ++i) g[i] += q_[i];
  }
  void constraints(const double* x, double* c) const override {
    double total = 0.0;
    double target = 0.0;
    for (int i = 0; i < n_; ++i) {
      total += x[i];
      target += xstar_[i];
    }
    c[0] = total - target;
    for (int j = 1; j < n_; ++j) c[j] = sense(j) * (x[j] - x[j - 1] - gap_[j]);
  }
  void jacobian(const double*, double* jac) const override {
    for (int k = 0; k < n_ * n_; ++k) jac[k] = 0.0;
    for (int i = 0; i < n_; ++i) jac[i] = 1.0;
    for (int j = 1; j < n_; ++j) {
      jac[j * n_ + j] = sense(j);
      jac[j * n_ + j - 1] = -sense(j);
    }
  }
  double known_optimum() const override { return optimum_; }
  double optimum_tolerance() const override { return 1e-6 * std::max(1.0, std::fabs(optimum_)); }
  bool solution(double* x) const override {
    for (int i = 0; i < n_; ++i) x[i] = xstar_[i];
    return true;
  }
  bool jacobian_structure(std::vector<int>& rows, std::vector<int>& cols) const override {
    rows.assign(static_cast<size_t>(n_), 0);
    cols.clear();
    for (int i = 0; i < n_; ++i) cols.push_back(i);
    for (int j = 1; j < n_; ++j) {
      rows.insert(rows.end(), {j, j});
      cols.insert(cols.end(), {j - 1, j});
    }
    return true;
  }

 private:
  // Every third ordering inequality is written in the "c(x) <= 0" sense.
  static int sense(int j) { return j % 3 == 0 ? -1 : 1; }
  void hessian_times(const double* x, double* y) const {
    for (int i = 0; i < n_; ++i) {
      y[i] = 4.0 * x[i];
      if (i > 0) y[i] -= x[i - 1];
      if (i + 1 < n_) y[i] -= x[i + 1];
    }
  }
  int n_;
  std::vector<double> xstar_;
  std::vector<double> gap_;
  std::vector<double> q_;
  double optimum_ = 0.0;
};

}  // namespace

std::unique_ptr<TestProblem> make_chain(int n) {
  if (n < 2) return nullptr;
  return std::make_unique<Chain>(n);
}

std::unique_ptr<TestProblem> make_qp(int n) {
  if (n < 2) return nullptr;
  return std::make_unique<ConvexQp>(n);
}

}  // namespace talvir::problems
