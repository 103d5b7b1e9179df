// Hessian approximation of the SQP iteration: initialisation from the variable scales and the damped
// BFGS update (Powell's damping), on the leading N x N block of B (order N+1, packed, see qp/views.h).
#pragma once

#include "qp/views.h"

namespace vek::engine {

// D(N+1) at or above this value asks for a warm start: B and the weights are kept as supplied.
inline constexpr double kWarmStart = 1.0e30;
inline bool is_warm_start(double h0) {
  return h0 >= kWarmStart;
}

// Function scale fs = max(|F|, sum |G(i) D(i)| / N), raised to 1 when it is 0 and to 1e-4 when smaller.
//   N in; F in; G (N), D (N) in.  Returns fs > 0.
double function_scale(int N, double F, const double* G, const double* D);

// Scaled curvature h from the control h0 = D(N+1) (< 1e30) and fs: h0 if h0 > 0, -h0*fs if h0 < 0,
// 0.1*fs if h0 = 0.
double initial_diagonal(double h0, double fs);

// Cold start: B(i,i) = h / D(i)^2 and B(k,i) = 0 (k > i, k <= N) for i <= N; mu(1..M) = 0.
//   N, M in; F, G (N), D (N+1) in (every D(i), i <= N, non-zero and finite: the caller checks);
//   B out (leading N x N block; row N+1 untouched); mu (M) out.
void initialise_hessian(int N, int M, double F, const double* G, const double* D, const qp::Packed<double>& B,
                        double* mu);
// Restart of B at a point that is not stationary although the convergence sum passed: B(i,i) = h with
// h = 0.1 max(|F|, sum |G(i)| / N) (the automatic curvature, unit scales: the scales of the start are
// no longer at hand), B(k,i) = 0 (k > i); the penalty weights stay.
void restart_hessian(int N, double F, const double* G, const qp::Packed<double>& B);
// The same with the control h0 given explicitly (< 1e30) instead of read from D(N+1).
void initialise_hessian(int N, int M, double h0, double F, const double* G, const double* D,
                        const qp::Packed<double>& B, double* mu);

// Gradient of the Lagrangian G - sum lambda_j A(., j) over the j with lambda_j != 0.
//   N, M in; G (N) in; A (LCN x M) in; lambda (M) in; out (N) out.
void lagrangian_gradient(int N, int M, const double* G, const qp::Mat1<const double>& A, const double* lambda,
                         double* out);

enum class UpdateKind { plain, damped, skipped };

// One damped BFGS update B+ = B + eta eta'/delta'eta - (B delta)(B delta)'/delta'B delta.
//   N in; B in/out (leading block); delta (N) in: the accepted step;
//   glag_new (N) in: Lagrangian gradient at the new point;
//   glag0 (N) in/out: the gradient at the start point in, y and then eta out;
//   bdelta (N) out: B delta.
// Damping (delta'y < 0.2 delta'B delta) keeps B positive definite where the curvature is small or
// negative. Returns `skipped`, with B unchanged, when delta'B delta or delta'eta is not a positive
// finite number (a zero step, or non-finite data): dividing by it would destroy B.
UpdateKind damped_bfgs_update(int N, const qp::Packed<double>& B, const double* delta, const double* glag_new,
                              double* glag0, double* bdelta);

}  // namespace vek::engine
