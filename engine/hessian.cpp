// Hessian initialisation and damped BFGS update (contracts in hessian.h).
#include "engine/hessian.h"

#include <algorithm>
#include <cmath>

namespace vek::engine {

namespace {

// max(|F|, sum / N), raised to 1 when 0 and to 1e-4 when smaller; sum = sum |G(i) D(i)|.
double scale_of(int N, double F, double sum) {
  double fs = std::max(std::fabs(F), sum / N);
  if (fs == 0.0) fs = 1.0;
  if (fs < 1.0e-4) fs = 1.0e-4;
  return fs;
}

}  // namespace

double function_scale(int N, double F, const double* G, const double* D) {
  double sum = 0.0;
  for (int i = 0; i < N; ++i) sum += std::fabs(G[i] * D[i]);
  return scale_of(N, F, sum);
}

double initial_diagonal(double h0, double fs) {
  if (h0 > 0.0) return h0;
  if (h0 < 0.0) return -h0 * fs;
  return 0.1 * fs;
}

void initialise_hessian(int N, int M, double F, const double* G, const double* D, const qp::Packed<double>& B,
                        double* mu) {
  initialise_hessian(N, M, D[N], F, G, D, B, mu);
}

void restart_hessian(int N, double F, const double* G, const qp::Packed<double>& B) {
  double sum = 0.0;
  for (int i = 0; i < N; ++i) sum += std::fabs(G[i]);
  const double h = initial_diagonal(0.0, scale_of(N, F, sum));  // the function scale with unit scales
  for (int i = 1; i <= N; ++i) {
    B(i, i) = h;
    for (int k = i + 1; k <= N; ++k) B(k, i) = 0.0;
  }
}

void initialise_hessian(int N, int M, double h0, double F, const double* G, const double* D,
                        const qp::Packed<double>& B, double* mu) {
  const double h = initial_diagonal(h0, function_scale(N, F, G, D));
  for (int i = 1; i <= N; ++i) {
    B(i, i) = h / (D[i - 1] * D[i - 1]);  // every scaled curvature equals h
    for (int k = i + 1; k <= N; ++k) B(k, i) = 0.0;
  }
  std::fill(mu, mu + M, 0.0);
}

void lagrangian_gradient(int N, int M, const double* G, const qp::Mat1<const double>& A, const double* lambda,
                         double* out) {
  qp::copy_values(G, N, out);
  for (int j = 1; j <= M; ++j) {
    const double u = lambda[j - 1];
    if (u == 0.0) continue;
    const double* col = A.column(j).data();
    for (int i = 0; i < N; ++i) out[i] -= u * col[i];
  }
}

namespace {

// B delta over the stored lower triangle, column by column: O(N^2) without branching per element.
void packed_times(int N, const qp::Packed<double>& B, const double* v, double* out) {
  for (int i = 0; i < N; ++i) out[i] = 0.0;
  for (int k = 1; k <= N; ++k) {
    out[k - 1] += B(k, k) * v[k - 1];
    for (int i = k + 1; i <= N; ++i) {
      const double b = B(i, k);
      out[i - 1] += b * v[k - 1];
      out[k - 1] += b * v[i - 1];
    }
  }
}

bool positive_finite(double v) {
  return v > 0.0 && std::isfinite(v);
}

}  // namespace

UpdateKind damped_bfgs_update(int N, const qp::Packed<double>& B, const double* delta, const double* glag_new,
                              double* glag0, double* bdelta) {
  packed_times(N, B, delta, bdelta);
  double dbd = 0.0;
  double dy = 0.0;
  for (int i = 0; i < N; ++i) {
    glag0[i] = glag_new[i] - glag0[i];  // y
    dbd += bdelta[i] * delta[i];
    dy += delta[i] * glag0[i];
  }
  if (!positive_finite(dbd) || !std::isfinite(dy)) return UpdateKind::skipped;
  UpdateKind kind = UpdateKind::plain;
  double deta = dy;
  if (dy < 0.2 * dbd) {
    // Powell's damping: mix y with B delta so that delta'eta = 0.2 delta'B delta.
    const double theta = 0.8 * dbd / (dbd - dy);
    for (int i = 0; i < N; ++i) glag0[i] = theta * glag0[i] + (1.0 - theta) * bdelta[i];
    deta = 0.2 * dbd;
    kind = UpdateKind::damped;
  }
  if (!positive_finite(deta)) return UpdateKind::skipped;
  for (int i = 1; i <= N; ++i) {
    const double t1 = bdelta[i - 1] / dbd;
    const double t2 = glag0[i - 1] / deta;
    for (int k = i; k <= N; ++k) B(k, i) = (B(k, i) - t1 * bdelta[k - 1]) + t2 * glag0[k - 1];
  }
  return kind;
}

}  // namespace vek::engine
