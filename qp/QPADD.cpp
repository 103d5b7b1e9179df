// QPADD: updates the QP factor storage when a constraint with normal a joins the q active ones.
// The components of a along the active rows of Q become column q+1 of R; the reduced rows of Q are
// rotated from the bottom up until the rest of a sits in row q+1, which becomes active with
// R(q+1,q+1) = that component; the same rotations keep U consistent, and column rotations remove what
// they push below U's diagonal, so that Z'HZ = U U' over indices q+2..n afterwards. The caller
// increases q afterwards.
//
//   N    in      order n
//   NACT in      q, the number of active constraints before the addition (0 <= q <= n-1)
//   AN   in      the normal a, n reals
//   Q    in/out  n x n orthogonal basis (leading dimension n), rows are basis vectors
//   T    in/out  packed R (front) and U (back) triangles; the old row q+1 of U is left stale
//   WK   work    n reals
// No failure: a normal without a component in the reduced space gives R(q+1,q+1) = 0.
#include "qp/QPADD.h"

#include <cstddef>

#include "qp/rotation.h"
#include "qp/views.h"

namespace vek::qp {
namespace {

// Phase 2: gather the reduced part of a (WK(q+1..n)) in row q+1 of Q, rotating rows k, k+1 of Q and of
// U. The entry each rotation pushes below U's diagonal, at (k+1, k), is kept in WK(k). Returns the
// gathered component. Row k of Q is strided (Q(k, i+1) n places after Q(k, i)); row k of U is a run,
// and row k+1 follows it.
template <int kN>
double gather(int n_given, int q, double* wk, double* qm, const Factor<double>& f) {
  const int n = kN > 0 ? kN : n_given;
  double tau = wk[n - 1];
  for (int k = n - 1; k >= q + 1; --k) {
    const double omega = wk[k - 1];
    wk[k - 1] = tau;
    if (tau == 0.0) {  // nothing to rotate; WK(k) stays 0
      tau = omega;
      continue;
    }
    double rho = 0.0;
    const Rotation g = make_rotation(omega, tau, rho);
    double* qk = qm + (k - 1);  // Q(k, 1); Q(k+1, i) follows Q(k, i)
    for (int i = 0; i < n; ++i, qk += n) rotate(g, qk[0], qk[1]);
    double* const uk = f.u_row(k);             // U(k, k..n)
    double* const uk1 = uk + (n - k + 1) - 1;  // U(k+1, m) at uk1[m - k]: row k+1 starts at U(k+1, k+1)
    for (int m = k + 1; m <= n; ++m) rotate(g, uk[m - k], uk1[m - k]);
    // Column k: U(k+1,k) is zero, so the rotation gives c U(k,k) on and s U(k,k) below the diagonal.
    wk[k - 1] = g.s * uk[0];
    uk[0] *= g.c;
    tau = rho;
  }
  return tau;
}

// Phase 4: remove the entries WK(k) below U's diagonal by rotating columns k+1 and k; row q+1 leaves
// the reduced space and is not rotated. U(i, k) and U(i, k+1) are neighbours in row i.
template <int kN>
void clean_up(int n_given, int q, const double* wk, const Factor<double>& f) {
  const int n = kN > 0 ? kN : n_given;
  for (int k = n - 1; k >= q + 1; --k) {
    const double phi = wk[k - 1];
    if (phi == 0.0) continue;
    double rho = 0.0;
    double* const diag = f.u_row(k + 1);
    const Rotation g = make_rotation(*diag, phi, rho);
    *diag = rho;
    double* ui = f.u_row(k) + 1;  // U(i, k+1) for i = k; row i-1 starts n-i+2 places before row i
    for (int i = k; i >= q + 2; --i) {
      rotate(g, ui[0], ui[-1]);
      ui -= n - i + 1;  // U(i-1, k+1): back over row i-1's n-i+2 places, less the one column between
    }
  }
}

}  // namespace

namespace detail {

template <int kN>
void qpadd_sized(int N, int NACT, const double* AN, double* Q, double* T, double* WK) {
  const int n = kN > 0 ? kN : N;
  const int q = NACT;
  const Factor<double> f(T, n);

  // 1. Express a in the basis, WK(l) = Q(l,:) a with the terms in increasing column order; its active
  //    components form the new column of R. These slots lie in front of row q+1 of U, so they may be
  //    written before the rotations.
  for (int l = 0; l < n; ++l) {
    const double* ql = Q + l;  // Q(l+1, i+1) at ql[i n]
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += ql[static_cast<std::ptrdiff_t>(i) * n] * AN[i];
    WK[l] = s;
  }
  double* const r = f.r_column(q + 1);
  for (int l = 0; l < q; ++l) r[l] = WK[l];

  // 2. Gather the reduced part of a in row q+1.
  const double diag = gather<kN>(n, q, WK, Q, f);

  // 3. The diagonal of R; with q = 0 its slot is that of U(1,1), so it is written only now.
  r[q] = diag;

  // 4. Clean up U.
  if (q + 1 < n) clean_up<kN>(n, q, WK, f);
}

// The instances: any size (0) and every fixed size up to kLargestFixedSize.
static_assert(kLargestFixedSize == 8, "one instance per fixed size below");
template void qpadd_sized<0>(int, int, const double*, double*, double*, double*);
template void qpadd_sized<1>(int, int, const double*, double*, double*, double*);
template void qpadd_sized<2>(int, int, const double*, double*, double*, double*);
template void qpadd_sized<3>(int, int, const double*, double*, double*, double*);
template void qpadd_sized<4>(int, int, const double*, double*, double*, double*);
template void qpadd_sized<5>(int, int, const double*, double*, double*, double*);
template void qpadd_sized<6>(int, int, const double*, double*, double*, double*);
template void qpadd_sized<7>(int, int, const double*, double*, double*, double*);
template void qpadd_sized<8>(int, int, const double*, double*, double*, double*);

}  // namespace detail

void QPADD(int N, int NACT, const double* AN, double* Q, double* T, double* WK) {
  detail::qpadd_sized<0>(N, NACT, AN, Q, T, WK);
}

}  // namespace vek::qp
