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

#include "qp/rotation.h"
#include "qp/views.h"

namespace vek::qp {
namespace {

// Phase 2: gather the reduced part of a (WK(q+1..n)) in row q+1 of Q, rotating rows k, k+1 of Q and of
// U. The entry each rotation pushes below U's diagonal, at (k+1, k), is kept in WK(k). Returns the
// gathered component.
double gather(int n, int q, const Vec1<double>& wk, const Mat1<double>& qm, const Factor<double>& f) {
  double tau = wk(n);
  for (int k = n - 1; k >= q + 1; --k) {
    const double omega = wk(k);
    wk(k) = tau;
    if (tau == 0.0) {  // nothing to rotate; WK(k) stays 0
      tau = omega;
      continue;
    }
    double rho = 0.0;
    const Rotation g = make_rotation(omega, tau, rho);
    for (int i = 1; i <= n; ++i) rotate(g, qm(k, i), qm(k + 1, i));
    for (int m = k + 1; m <= n; ++m) rotate(g, f.u(k, m), f.u(k + 1, m));
    // Column k: U(k+1,k) is zero, so the rotation gives c U(k,k) on and s U(k,k) below the diagonal.
    wk(k) = g.s * f.u(k, k);
    f.u(k, k) *= g.c;
    tau = rho;
  }
  return tau;
}

// Phase 4: remove the entries WK(k) below U's diagonal by rotating columns k+1 and k; row q+1 leaves
// the reduced space and is not rotated.
void clean_up(int n, int q, const Vec1<double>& wk, const Factor<double>& f) {
  for (int k = n - 1; k >= q + 1; --k) {
    const double phi = wk(k);
    if (phi == 0.0) continue;
    double rho = 0.0;
    const Rotation g = make_rotation(f.u(k + 1, k + 1), phi, rho);
    f.u(k + 1, k + 1) = rho;
    for (int i = k; i >= q + 2; --i) rotate(g, f.u(i, k + 1), f.u(i, k));
  }
}

}  // namespace

void QPADD(int N, int NACT, const double* AN, double* Q, double* T, double* WK) {
  const int n = N;
  const int q = NACT;
  const Mat1<double> qm(Q, n);
  const Factor<double> f(T, n);
  const Vec1<double> wk(WK);
  const Vec1<const double> a(AN);

  // 1. Express a in the basis; its active components form the new column of R. These slots lie in
  //    front of row q+1 of U, so they may be written before the rotations.
  //    Q is stored by columns: run down the columns, each sum in increasing column order.
  for (int l = 1; l <= n; ++l) wk(l) = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double ai = a(i);
    for (int l = 1; l <= n; ++l) wk(l) += qm(l, i) * ai;
  }
  for (int l = 1; l <= q; ++l) f.r(l, q + 1) = wk(l);

  // 2. Gather the reduced part of a in row q+1.
  const double diag = gather(n, q, wk, qm, f);

  // 3. The diagonal of R; with q = 0 its slot is that of U(1,1), so it is written only now.
  f.r(q + 1, q + 1) = diag;

  // 4. Clean up U.
  if (q + 1 < n) clean_up(n, q, wk, f);
}

}  // namespace vek::qp
