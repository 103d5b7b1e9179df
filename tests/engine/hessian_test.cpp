// Hessian: cold-start scales, warm start, the damping threshold, and positive definiteness over many
// random updates (checked by a Cholesky factorisation and the secant condition B+ delta = eta).
#include "engine/hessian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/problems.h"
#include "qp/views.h"

namespace {

using vek::engine::UpdateKind;
using vek::qp::Packed;

// B of order n+1 (as the engine holds it), filled with a marker so untouched entries show.
struct Hessian {
  int n;
  std::vector<double> data;
  explicit Hessian(int n_) : n(n_), data(vek::qp::packed_size(n_ + 1), -7.0) {}
  Packed<double> view() { return Packed<double>(data.data(), n + 1); }
};

bool cholesky_positive(int n, Packed<double> b) {
  std::vector<double> l(n * n, 0.0);
  for (int j = 0; j < n; ++j) {
    for (int i = j; i < n; ++i) {
      double s = b(i + 1, j + 1);
      for (int k = 0; k < j; ++k) s -= l[i * n + k] * l[j * n + k];
      if (i == j) {
        if (!(s > 0.0)) return false;
        l[j * n + j] = std::sqrt(s);
      } else {
        l[i * n + j] = s / l[j * n + j];
      }
    }
  }
  return true;
}

TEST(HessianInit, ColdStartScalesOfTheWorkedCases) {
  struct Case {
    const char* name;
    double f;
    std::vector<double> g, d;  // d has N+1 entries
    std::vector<double> diagonal;
  };
  const Case cases[] = {
      {"unit scales, F = 10, G = 0", 10.0, {0, 0, 0}, {1, 1, 1, 1}, {1, 1, 1}},
      {"control 0, F = 0, G = 0: fs = 1", 0.0, {0, 0}, {1, 1, 0}, {0.1, 0.1}},
      {"control -2, |F| = 3 dominates", -3.0, {1, 1}, {1, 1, -2}, {6, 6}},
      {"scales (2, 0.5), h = 1", 0.0, {0, 0}, {2, 0.5, 1}, {0.25, 4}},
      {"tiny fs raised to 1e-4", 1e-9, {0, 0}, {1, 1, 0}, {1e-5, 1e-5}},
      {"gradient term dominates", 1.0, {4, 8}, {1, 0.5, -1}, {4, 16}},  // fs = (4 + 4)/2
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const int n = static_cast<int>(k.g.size());
    Hessian b(n);
    std::vector<double> mu = {5.0, 6.0};
    vek::engine::initialise_hessian(n, 2, k.f, k.g.data(), k.d.data(), b.view(), mu.data());
    for (int i = 1; i <= n; ++i) {
      EXPECT_DOUBLE_EQ(b.view()(i, i), k.diagonal[i - 1]);
      for (int j = i + 1; j <= n; ++j) EXPECT_EQ(b.view()(j, i), 0.0);
      EXPECT_EQ(b.view()(n + 1, i), -7.0);  // row N+1 belongs to the QP
    }
    EXPECT_EQ(mu, (std::vector<double>{0.0, 0.0}));
  }
}

TEST(HessianInit, WarmStartLeavesBAndWeightsAsSupplied) {
  engine_test::Settings s;
  s.hessian_control = 1.0e30;
  s.maxls = 0;  // end right after the first subproblem: no update happens
  engine_test::MiraxRun run(engine_test::quadratic_with_inequality(), s);
  // B = [[3, 1], [1, 2]] in the leading block, weight 0.75.
  run.vf[2] = 3.0;
  run.vf[3] = 1.0;
  run.vf[4] = 0.0;
  run.vf[5] = 2.0;
  run.vf[6] = 0.0;
  run.vf[7] = 1.0;
  run.vf[1] = 0.75;
  vek::engine::mirax_hessian_supplied(vek::engine::mirax_process_state(), run.vf.data(), 2, 1);
  const std::vector<double> before = run.vf;
  run.call();
  EXPECT_EQ(run.inf, 3);
  for (int k = 2; k <= 7; ++k) EXPECT_EQ(run.vf[k], before[k]) << "B element " << k;
  // The weight was not reset: its first update starts from the supplied 0.75.
  const double u = std::fabs(run.vf[0]);
  EXPECT_DOUBLE_EQ(run.vf[1], std::max(u, 0.5 * (0.75 + u)));
  // The QP saw the supplied B: the constraint d1 + d2 <= 2 is inactive, so B d = -G, d = (1.2, 0.4).
  EXPECT_NEAR(run.d[0], 1.2, 1e-12);
  EXPECT_NEAR(run.d[1], 0.4, 1e-12);
}

// Update of B = I (N = 2) along delta = (1, 0) with y = (y1, y2).
UpdateKind update_unit(double y1, double y2, Hessian& b, std::vector<double>& eta) {
  b.view()(1, 1) = 1.0;
  b.view()(2, 1) = 0.0;
  b.view()(2, 2) = 1.0;
  const double delta[2] = {1.0, 0.0};
  const double gnew[2] = {y1, y2};
  eta = {0.0, 0.0};  // start gradient 0: y = new gradient
  double bd[2];
  return vek::engine::damped_bfgs_update(2, b.view(), delta, gnew, eta.data(), bd);
}

TEST(HessianUpdate, DampingThresholdIsStrict) {
  Hessian b(2);
  std::vector<double> eta;
  // delta'B delta = 1: delta'y = 0.2 exactly is not damped, and B+ delta = y (secant).
  EXPECT_EQ(update_unit(0.2, 0.3, b, eta), UpdateKind::plain);
  EXPECT_DOUBLE_EQ(b.view()(1, 1), 0.2);
  EXPECT_DOUBLE_EQ(b.view()(2, 1), 0.3);
  EXPECT_EQ(b.view()(3, 1), -7.0);
  // Just below the threshold: damped, and delta'B+ delta = 0.2 delta'B delta.
  EXPECT_EQ(update_unit(std::nextafter(0.2, 0.0), 0.3, b, eta), UpdateKind::damped);
  EXPECT_NEAR(b.view()(1, 1), 0.2, 1e-15);
  EXPECT_EQ(update_unit(0.5, 0.3, b, eta), UpdateKind::plain);
  EXPECT_DOUBLE_EQ(b.view()(1, 1), 0.5);
}

TEST(HessianUpdate, NegativeCurvatureIsDamped) {
  Hessian b(2);
  std::vector<double> eta;
  EXPECT_EQ(update_unit(-1.0, 0.5, b, eta), UpdateKind::damped);
  // theta = 0.8 / (1 + 1) = 0.4: eta = 0.4 y + 0.6 B delta = (0.2, 0.2).
  EXPECT_DOUBLE_EQ(eta[0], 0.2);
  EXPECT_DOUBLE_EQ(eta[1], 0.2);
  EXPECT_DOUBLE_EQ(b.view()(1, 1), 0.2);  // delta'B+ delta = 0.2 delta'B delta > 0
  EXPECT_TRUE(cholesky_positive(2, b.view()));
}

TEST(HessianUpdate, DegenerateStepsAreSkipped) {
  Hessian b(2);
  b.view()(1, 1) = 2.0;
  b.view()(2, 1) = 0.5;
  b.view()(2, 2) = 1.0;
  const std::vector<double> before = b.data;
  const double zero[2] = {0.0, 0.0};
  const double gnew[2] = {1.0, 1.0};
  double g0[2] = {0.0, 0.0}, bd[2];
  EXPECT_EQ(vek::engine::damped_bfgs_update(2, b.view(), zero, gnew, g0, bd), UpdateKind::skipped);
  EXPECT_EQ(b.data, before);
  const double delta[2] = {1.0, 0.0};
  const double gbad[2] = {std::numeric_limits<double>::quiet_NaN(), 0.0};
  double g1[2] = {0.0, 0.0};
  EXPECT_EQ(vek::engine::damped_bfgs_update(2, b.view(), delta, gbad, g1, bd), UpdateKind::skipped);
  EXPECT_EQ(b.data, before);
}

TEST(HessianUpdate, StaysPositiveDefiniteOverManyRandomUpdates) {
  const int n = 6;
  Hessian b(n);
  const std::vector<double> d = {1, 2, 0.5, 1, 3, 1, 1};
  const std::vector<double> g(n, 0.0);
  std::vector<double> mu;
  vek::engine::initialise_hessian(n, 0, 1.0, g.data(), d.data(), b.view(), mu.data());
  std::mt19937 rng(12345);
  std::normal_distribution<double> normal;
  // Curvature of a fixed quadratic seen through noisy gradients: y = H delta + noise, H = Q diag(0.5 .. 3) Q'
  // built from random reflections; the noise makes some steps' curvature small or negative (damped).
  // (Persistent negative curvature would shrink B by 0.2 per damped step towards singularity, which
  // exact arithmetic survives but a floating-point Cholesky test cannot judge.)
  std::vector<double> h(n * n, 0.0);
  for (int i = 0; i < n; ++i) h[i * n + i] = 0.5 + 2.5 * i / (n - 1);
  for (int r = 0; r < 3; ++r) {
    std::vector<double> v(n);
    double vv = 0.0;
    for (double& e : v) {
      e = normal(rng);
      vv += e * e;
    }
    std::vector<double> p(n * n);  // P = I - 2vv'/v'v; H = P H P
    for (int i = 0; i < n; ++i) {
      for (int k = 0; k < n; ++k) p[i * n + k] = (i == k ? 1.0 : 0.0) - 2.0 * v[i] * v[k] / vv;
    }
    std::vector<double> ph(n * n, 0.0), php(n * n, 0.0);
    for (int i = 0; i < n; ++i) {
      for (int k = 0; k < n; ++k) {
        for (int l = 0; l < n; ++l) ph[i * n + k] += p[i * n + l] * h[l * n + k];
      }
    }
    for (int i = 0; i < n; ++i) {
      for (int k = 0; k < n; ++k) {
        for (int l = 0; l < n; ++l) php[i * n + k] += ph[i * n + l] * p[l * n + k];
      }
    }
    h = php;
  }
  int damped = 0;
  for (int update = 0; update < 500; ++update) {
    std::vector<double> delta(n), gnew(n), g0(n, 0.0), bd(n), bdelta_ref(n, 0.0);
    for (int i = 0; i < n; ++i) {
      delta[i] = normal(rng);
    }
    for (int i = 0; i < n; ++i) {
      gnew[i] = 1.5 * normal(rng);
      for (int k = 0; k < n; ++k) gnew[i] += h[i * n + k] * delta[k];
    }
    for (int i = 1; i <= n; ++i) {
      for (int k = 1; k <= n; ++k) bdelta_ref[i - 1] += b.view().sym(i, k) * delta[k - 1];
    }
    const UpdateKind kind =
        vek::engine::damped_bfgs_update(n, b.view(), delta.data(), gnew.data(), g0.data(), bd.data());
    ASSERT_NE(kind, UpdateKind::skipped);
    if (kind == UpdateKind::damped) ++damped;
    ASSERT_TRUE(cholesky_positive(n, b.view())) << "update " << update;
    // Secant condition B+ delta = eta, relative to the size of B delta.
    double scale = 0.0;
    for (double v : bdelta_ref) scale = std::max(scale, std::fabs(v));
    for (int i = 1; i <= n; ++i) {
      double bplus = 0.0;
      for (int k = 1; k <= n; ++k) bplus += b.view().sym(i, k) * delta[k - 1];
      ASSERT_NEAR(bplus, g0[i - 1], 1e-8 * std::max(1.0, scale)) << "update " << update;
    }
    for (int i = 1; i <= n; ++i) ASSERT_EQ(b.view()(n + 1, i), -7.0);
  }
  EXPECT_GT(damped, 20);
}

TEST(HessianUpdate, LagrangianGradientSkipsZeroMultipliers) {
  const double g[2] = {1.0, 2.0};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Column 2 is NaN but its multiplier is zero: it must not be read into the sum.
  const double a[6] = {1.0, 1.0, 0.0, nan, nan, 0.0};
  const double lambda[2] = {2.0, 0.0};
  double out[2];
  vek::engine::lagrangian_gradient(2, 2, g, vek::qp::Mat1<const double>(a, 3), lambda, out);
  EXPECT_EQ(out[0], -1.0);
  EXPECT_EQ(out[1], 0.0);
}

}  // namespace
