// The benchmark's own scalable family "dense_qp": a convex quadratic with dense equality rows, the
// case where a dense SQP method pays no price for ignoring sparsity (contract in solver_adapter.h).
//
//   min  1/2 sum (x_i - 1)^2 + 0.1 sum x_i x_{i+1}
//   eq j (j < n/2):  sum_i cos(0.7 (i+1)(j+1)) (x_i - p_i) / sqrt(n) = 0,   p_i = sin(i + 1)
//   -5 <= x_i <= 5, start x = 0. The objective is strictly convex (diagonal 1 dominates the 0.1
//   couplings), so the solution is unique; no optimum is published (solved = success and feasible).
//   The point p lies inside the bounds, so every size is feasible (a constant right-hand side asks
//   for |x_i| beyond 5 from n = 500 on).
#include <cmath>

#include "bench/compare/solver_adapter.h"

namespace talvir::bench {
namespace {

class DenseQp final : public problems::TestProblem {
 public:
  explicit DenseQp(int n) : n_(n), m_(n / 2), rows_(static_cast<std::size_t>(n / 2) * n), rhs_(n / 2) {
    const double s = 1.0 / std::sqrt(static_cast<double>(n));
    for (int j = 0; j < m_; ++j) {
      double offset = 0.0;
      for (int i = 0; i < n_; ++i) {
        const double a = std::cos(0.7 * (i + 1) * (j + 1)) * s;
        rows_[static_cast<std::size_t>(j) * n_ + i] = a;
        offset += a * std::sin(i + 1.0);
      }
      rhs_[j] = offset;
    }
  }
  std::string name() const override { return "dense_qp"; }
  std::string description() const override { return "convex quadratic, n/2 dense equality rows"; }
  int n() const override { return n_; }
  int m() const override { return m_; }
  int kind(int) const override { return 0; }
  void bounds(double* xl, double* xu) const override {
    for (int i = 0; i < n_; ++i) xl[i] = -5.0, xu[i] = 5.0;
  }
  void start(double* x) const override {
    for (int i = 0; i < n_; ++i) x[i] = 0.0;
  }
  double objective(const double* x) const override {
    double f = 0.0;
    for (int i = 0; i < n_; ++i) f += 0.5 * (x[i] - 1.0) * (x[i] - 1.0);
    for (int i = 0; i + 1 < n_; ++i) f += 0.1 * x[i] * x[i + 1];
    return f;
  }
  void gradient(const double* x, double* g) const override {
    for (int i = 0; i < n_; ++i) {
      g[i] = x[i] - 1.0 + 0.1 * ((i > 0 ? x[i - 1] : 0.0) + (i + 1 < n_ ? x[i + 1] : 0.0));
    }
  }
  void constraints(const double* x, double* c) const override {
    for (int j = 0; j < m_; ++j) {
      const double* row = &rows_[static_cast<std::size_t>(j) * n_];
      double sum = -rhs_[j];
      for (int i = 0; i < n_; ++i) sum += row[i] * x[i];
      c[j] = sum;
    }
  }
  void jacobian(const double*, double* jac) const override {
    for (std::size_t k = 0; k < rows_.size(); ++k) jac[k] = rows_[k];
  }
  double known_optimum() const override { return NAN; }

 private:
  int n_, m_;
  std::vector<double> rows_;
  std::vector<double> rhs_;
};

}  // namespace

std::unique_ptr<problems::TestProblem> make_dense_qp(int n) {
  return n >= 2 ? std::make_unique<DenseQp>(n) : nullptr;
}

}  // namespace talvir::bench
