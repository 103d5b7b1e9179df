// MIRAX: the SQP engine's entry, driven by reverse communication through the cycle flag INF.
//
// Every argument is passed by reference, arrays 1-based in the description, matrices by columns:
//   N, M            in      numbers of variables (>= 1) and general constraints (>= 0)
//   KTYPE (M)       in      0 equality, -1 c <= 0, +1 c >= 0 (worked on in place, given back)
//   X (N)           in/out  start point; the point to evaluate on return with INF -1/-2; the result
//   F, G (N), C (M) in      objective, gradient, constraint values at X (C needs one element if M = 0;
//                           C(1) >= 1e30 or non-finite values on re-entry with INF = -1 mean "evaluation
//                           failed here": the step is cut)
//   A (LCN x M)     in      constraint gradients by columns; row N+1 is scratch; LCN > N
//   MAXIT, ACC      in      iteration limit, convergence tolerance
//   IPRINT          in      listing control (see the listing documentation)
//   INF             in/out  cycle flag: 0 start, -1 / -2 requests; 1 converged; 2 .. 10 endings
//   VF (LWVF)       in/out  engine workspace: VF(1..M) are the multipliers; LWVF >= 2M + (N+9)N/2 + 1
//   WQP (LWQP)      work    QP workspace; LWQP >= (N+1-ME)(3(N+1-ME)+7)/2 + 3M + 4(N+1)
//   XL, XU (N)      in      variable bounds
//   D (N+1)         in/out  scales and Hessian control on a start; afterwards the step and the QP's ξ
//   STEP, MODE      in      first-step control; QP mode (0 normal, 1 reliable)
//   CVG (2)         out     convergence sum and its threshold
//   MAXLS           in      function evaluations allowed in one line search
// The persisting state of the iteration lives in one process-wide MxiterState record; the overload
// taking a state record lets a caller keep several solves apart.
// A caller that names a cancellation flag (qp/cancellation.h) may also see INF = kInfCancelled: the
// flag was set while an iteration was being started; X, F, C and the multipliers are those of the last
// accepted point, and the solution is over.
#pragma once

namespace vek::engine {

inline constexpr int kInfCancelled = 20;

struct MxiterState;

void MIRAX(const int& N, const int& M, int* KTYPE, double* X, const double& F, const double* G, double* C,
           double* A, const int& LCN, const int& MAXIT, const double& ACC, const int& IPRINT, int& INF,
           double* VF, const int& LWVF, double* WQP, const int& LWQP, const double* XL, const double* XU,
           double* D, const double& STEP, const int& MODE, double* CVG, const int& MAXLS);

void MIRAX(const int& N, const int& M, int* KTYPE, double* X, const double& F, const double* G, double* C,
           double* A, const int& LCN, const int& MAXIT, const double& ACC, const int& IPRINT, int& INF,
           double* VF, const int& LWVF, double* WQP, const int& LWQP, const double* XL, const double* XU,
           double* D, const double& STEP, const int& MODE, double* CVG, const int& MAXLS, MxiterState& state);

// Exact minimum workspace lengths (ME = number of equality constraints), in 64 bits: the products
// pass the int range long before the minima do, and for very large N a minimum exceeds every int
// length, which MIRAX then reports as a short workspace (code 7).
constexpr long long mirax_min_lwvf(int N, int M) {
  return 2LL * M + (N + 9LL) * N / 2 + 1;
}
constexpr long long mirax_min_lwqp(int N, int M, int ME) {
  const long long nr = N + 1LL - ME;
  return nr * (3 * nr + 7) / 2 + 3LL * M + 4 * (N + 1LL);
}

}  // namespace vek::engine
