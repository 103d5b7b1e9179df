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
#include <cstddef>

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
template <int kN>
void remove_column(int n_given, int q, int l, double* qm, const Factor<double>& f) {
  const int n = kN > 0 ? kN : n_given;
  for (int j = l + 1; j <= q; ++j) {
    double r = 0.0;
    const Rotation g = make_rotation(f.r(j - 1, j), f.r(j, j), r);
    for (int m = j; m <= q; ++m) rotate(g, f.r(j - 1, m), f.r(j, m));
    double* qj = qm + (j - 2);  // Q(j-1, 1); Q(j, i) follows Q(j-1, i)
    for (int i = 0; i < n; ++i, qj += n) rotate(g, qj[0], qj[1]);
    // Column j, without its now zero last element, becomes column j-1.
    double* const to = f.r_column(j - 1);
    const double* const from = f.r_column(j);
    for (int i = 0; i < j - 1; ++i) to[i] = from[i];
  }
}

// W = H z for z = row q of Q: W(i) = 0 + sum_j H(i,j) z(j), terms in increasing j, each sum in a
// register. Row i of H up to the diagonal runs across the columns before it (H(i, j+1) n-j places
// after H(i, j)); the rest is column i from the diagonal down. z(j) = Q(q, j) lies n places after z(j-1).
template <int kN>
void hessian_times_row(int n_given, int q, const double* qm, const double* h, double* w) {
  const int n = kN > 0 ? kN : n_given;
  const double* const z = qm + (q - 1);
  const double* hii = h;  // H(i, i)
  for (int i = 1; i <= n; hii += n - i + 1, ++i) {
    double s = 0.0;
    const double* hij = h + (i - 1);  // H(i, 1)
    for (int j = 1; j < i; hij += n - j, ++j) s += *hij * z[static_cast<std::ptrdiff_t>(j - 1) * n];
    for (int j = i; j <= n; ++j) s += hii[j - i] * z[static_cast<std::ptrdiff_t>(j - 1) * n];
    w[i - 1] = s;
  }
}

}  // namespace

namespace detail {

template <int kN>
void qpdel_sized(int N, int NACT, int L, int& IFAIL, double* W, double* Q, const double* H, double* T,
                 int IPRINT) {
  const int n = kN > 0 ? kN : N;
  const int q = NACT;
  const Factor<double> f(T, n);
  IFAIL = 0;

  // 1. Remove column L from R (nothing to rotate when L = q).
  remove_column<kN>(n, q, L, Q, f);

  // 2. New leading row of U: first the products Q(k,:)W, k = q..n, in the row's own slots (each sum
  //    in increasing column order), then solve U_old beta = Z_old'Hz from the bottom up.
  hessian_times_row<kN>(n, q, Q, H, W);
  double* const uq = f.u_row(q);  // U(q, k) at uq[k - q]
  for (int k = q; k <= n; ++k) {
    const double* const qk = Q + (k - 1);  // Q(k, i) at qk[(i-1) n]
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += qk[static_cast<std::ptrdiff_t>(i) * n] * W[i];
    uq[k - q] = s;
  }
  for (int k = n; k >= q + 1; --k) {
    const double* const uk = f.u_row(k);  // U(k, m) at uk[m - k]
    double s = uq[k - q];
    for (int m = k + 1; m <= n; ++m) s -= uq[m - q] * uk[m - k];
    uq[k - q] = div_or_zero(s, uk[0]);
  }

  // 3. The new diagonal: z'Hz minus what the rows below already account for.
  double sigma = uq[0];
  for (int m = q + 1; m <= n; ++m) sigma -= uq[m - q] * uq[m - q];
  if (sigma <= 0.0) {
    report_indefinite(sigma, IPRINT);
    IFAIL = 1;
    sigma = kPivotFloor;  // keep the factor defined: the pivot reset of QPCHOL
  }
  uq[0] = std::sqrt(sigma);
}

// The instances: any size (0) and every fixed size up to kLargestFixedSize.
static_assert(kLargestFixedSize == 8, "one instance per fixed size below");
template void qpdel_sized<0>(int, int, int, int&, double*, double*, const double*, double*, int);
template void qpdel_sized<1>(int, int, int, int&, double*, double*, const double*, double*, int);
template void qpdel_sized<2>(int, int, int, int&, double*, double*, const double*, double*, int);
template void qpdel_sized<3>(int, int, int, int&, double*, double*, const double*, double*, int);
template void qpdel_sized<4>(int, int, int, int&, double*, double*, const double*, double*, int);
template void qpdel_sized<5>(int, int, int, int&, double*, double*, const double*, double*, int);
template void qpdel_sized<6>(int, int, int, int&, double*, double*, const double*, double*, int);
template void qpdel_sized<7>(int, int, int, int&, double*, double*, const double*, double*, int);
template void qpdel_sized<8>(int, int, int, int&, double*, double*, const double*, double*, int);

}  // namespace detail

void QPDEL(int N, int NACT, int L, int& IFAIL, double* W, double* Q, const double* H, double* T, int IPRINT) {
  detail::qpdel_sized<0>(N, NACT, L, IFAIL, W, Q, H, T, IPRINT);
}

}  // namespace vek::qp
