// QPDEL: updates the QP factor storage when the active constraint at position L of q is dropped.
// Column L leaves R, R is made triangular again by plane rotations that are applied to Q as well,
// and U gains a new leading row for the vector z = row q of Q that joins the reduced space, so that
// Z'HZ = U U' holds for Z = rows q..n of Q. The caller decreases q afterwards.
//
//   N      in      order n
//   NACT   in      q, the number of active constraints before the drop (1 <= L <= q <= n)
//   L      in      position of the dropped constraint in the active list
//   IFAIL  out     0; 1 when z'Hz - |beta|^2 <= 0, i.e. the reduced Hessian is not positive definite
//   W      work    n reals; on return W = H z
//   Q      in/out  n x n orthogonal basis (leading dimension n), rows are basis vectors
//   H      in      packed lower triangle (by columns) of the QP Hessian
//   T      in/out  packed R (front) and U (back) triangles
//   IPRINT in      listing control
// On IFAIL = 1 the message goes to unit 7 (IPRINT >= 0) and the new diagonal is reset as QPCHOL resets
// a pivot: U(q,q) = sqrt(1.0e-12) = 1.0e-6. The factor thus stays defined and finite, and the caller
// may go on. A pair of zeros in the rotation of a column (R with a zero diagonal element) gives no
// rotation (c = 1, s = 0) instead of a division by zero.
#include "qp/QPDEL.h"

#include <cmath>

#include "io/layout.h"
#include "qp/rotation.h"
#include "qp/views.h"

namespace vek::qp {
namespace {

constexpr double kPivotFloor = 1.0e-12;

void report_indefinite(double sigma, int iprint) {
  if (iprint < 0) return;
  io::ListDirected(io::kListingUnit).text(" ").end();
  io::ListDirected(io::kListingUnit)
      .text("*** MIRAX, THE MATRIX ZHZ HAS BECOME INDEFINITE ")
      .text("IN \"QPDEL\"")
      .end();
  io::ListDirected(io::kListingUnit).text("  SUM = ").num(sigma).end();
}

// Phase 1: remove column l of the q x q triangle R, rotating rows j-1 and j of R and Q for j > l.
void remove_column(int n, int q, int l, const Mat1<double>& qm, const Factor<double>& f) {
  for (int j = l + 1; j <= q; ++j) {
    double r = 0.0;
    const Rotation g = make_rotation(f.r(j - 1, j), f.r(j, j), r);
    for (int m = j; m <= q; ++m) rotate(g, f.r(j - 1, m), f.r(j, m));
    for (int i = 1; i <= n; ++i) rotate(g, qm(j - 1, i), qm(j, i));
    // Column j, without its now zero last element, becomes column j-1.
    for (int i = 1; i <= j - 1; ++i) f.r(i, j - 1) = f.r(i, j);
  }
}

// W = H z for z = row q of Q, reading H through its packing.
void hessian_times_row(int n, int q, const Mat1<double>& qm, const Packed<const double>& h,
                       const Vec1<double>& w) {
  for (int i = 1; i <= n; ++i) w(i) = 0.0;
  for (int j = 1; j <= n; ++j) {
    const double zj = qm(q, j);
    double acc = w(j) + h(j, j) * zj;  // column j's own terms summed locally, in the same order
    for (int i = j + 1; i <= n; ++i) {
      const double hij = h(i, j);
      w(i) += hij * zj;
      acc += hij * qm(q, i);
    }
    w(j) = acc;
  }
}

}  // namespace

void QPDEL(int N, int NACT, int L, int& IFAIL, double* W, double* Q, const double* H, double* T, int IPRINT) {
  const int n = N;
  const int q = NACT;
  const Mat1<double> qm(Q, n);
  const Packed<const double> h(H, n);
  const Factor<double> f(T, n);
  const Vec1<double> w(W);
  IFAIL = 0;

  // 1. Remove column L from R (nothing to rotate when L = q).
  remove_column(n, q, L, qm, f);

  // 2. New leading row of U: first the products Q(k,:)W, k = q..n, in the row's own slots (running
  //    down the columns of Q), then solve U_old beta = Z_old'Hz from the bottom up.
  hessian_times_row(n, q, qm, h, w);
  for (int k = q; k <= n; ++k) f.u(q, k) = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double wi = w(i);
    for (int k = q; k <= n; ++k) f.u(q, k) += qm(k, i) * wi;
  }
  for (int k = n; k >= q + 1; --k) {
    double s = f.u(q, k);
    for (int m = k + 1; m <= n; ++m) s -= f.u(q, m) * f.u(k, m);
    f.u(q, k) = div_or_zero(s, f.u(k, k));
  }

  // 3. The new diagonal: z'Hz minus what the rows below already account for.
  double sigma = f.u(q, q);
  for (int m = q + 1; m <= n; ++m) sigma -= f.u(q, m) * f.u(q, m);
  if (sigma <= 0.0) {
    report_indefinite(sigma, IPRINT);
    IFAIL = 1;
    sigma = kPivotFloor;  // keep the factor defined: the pivot reset of QPCHOL
  }
  f.u(q, q) = std::sqrt(sigma);
}

}  // namespace vek::qp
