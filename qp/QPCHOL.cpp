// QPCHOL: factorises the symmetric matrix held in the U part of the QP factor storage as U U', U upper
// triangular, computed from the last column backwards (a Cholesky factorisation in reverse order).
//
//   N      in      order n
//   T      in/out  n(n+1)/2 reals: on entry the positions of U(i,j), NACT < i <= j <= n, hold the
//                  matrix elements (i,j); on return U. Positions in front of the block are not touched.
//   NACT   in      q, the leading indices left alone (nothing happens when q >= n)
//   IPRINT in      listing control
// Never fails: a pivot s <= 1.0e-12 (too small, or negative from an indefinite matrix) is replaced by
// 1.0e-12, so the diagonal becomes 1.0e-6; with IPRINT >= 0 three lines go to unit 7 first.
#include "qp/QPCHOL.h"

#include <cmath>

#include "io/layout.h"
#include "qp/cancellation.h"
#include "qp/views.h"

namespace vek::qp {
namespace {

constexpr double kPivotFloor = 1.0e-12;

void report_small_pivot(double s, int iprint) {
  if (iprint < 0) return;
  io::ListDirected(io::kListingUnit).text(" ").end();
  io::ListDirected(io::kListingUnit).text("*** MIRAX, SUM IN \"QPCHOL\" = ").num(s).end();
  io::ListDirected(io::kListingUnit).text("  COMPUTATION CONTINUED BY RESETTING SUM TO 1.0E-12").end();
}

}  // namespace

namespace detail {

// Row j of U is a run from U(j, j); rows i and j beyond column j are already final, so the update
// works in place: U(i, j) = (U(i, j) - sum_{m>j} U(j, m) U(i, m)) / d, d the square root of the pivot.
// The any-size instance: after the pivot of column j, the rows i < j four at a time (i, i-1, i-2, i-3
// side by side, each sum in its own order, one pass over row j for the four). Returns the first row
// left, i.e. q + 1 .. that row remain for the loop of qpchol_sized.
int column_four_rows(int n, int q, int j, const Factor<double>& f, double d) {
  const double* const uj = f.u_row(j);
  int i = j - 1;
  for (; i - 3 >= q + 1; i -= 4) {
    double* const r0 = f.u_row(i) - i;  // U(i, m) at r0[m]
    double* const r1 = f.u_row(i - 1) - (i - 1);
    double* const r2 = f.u_row(i - 2) - (i - 2);
    double* const r3 = f.u_row(i - 3) - (i - 3);
    double s0 = r0[j], s1 = r1[j], s2 = r2[j], s3 = r3[j];
    for (int m = j + 1; m <= n; ++m) {
      const double u = uj[m - j];
      s0 -= u * r0[m];
      s1 -= u * r1[m];
      s2 -= u * r2[m];
      s3 -= u * r3[m];
    }
    r0[j] = s0 / d, r1[j] = s1 / d, r2[j] = s2 / d, r3[j] = s3 / d;
  }
  return i;
}

template <int kN>
void qpchol_sized(int N, double* T, int NACT, int IPRINT) {
  const int n = kN > 0 ? kN : N;
  const int q = NACT;
  if (q + 1 > n) return;
  const Factor<double> f(T, n);
  for (int j = n; j >= q + 1; --j) {
    if (kN == 0 && cancellation_requested()) return;  // an unfinished factor, which the caller discards
    double* const uj = f.u_row(j);                    // U(j, m) at uj[m - j]
    double d = 1.0;
    double* ui = uj;  // row i, from i = j down
    for (int i = j; i >= q + 1; --i) {
      if (kN == 0 && i == j - 1) {  // the rest of column j four rows at a time
        i = column_four_rows(n, q, j, f, d);
        if (i < q + 1) break;
        ui = f.u_row(i);
      }
      double s = ui[j - i];
      for (int m = j + 1; m <= n; ++m) s -= uj[m - j] * ui[m - i];
      if (i == j) {
        if (s <= kPivotFloor) {
          report_small_pivot(s, IPRINT);
          s = kPivotFloor;
        }
        d = std::sqrt(s);
        ui[0] = s / d;
      } else {
        ui[j - i] = s / d;
      }
      if (i > q + 1) ui -= n - i + 2;  // row i-1 starts n-i+2 places before row i
    }
  }
}

// The instances: any size (0) and every fixed size up to kLargestFixedSize.
static_assert(kLargestFixedSize == 8, "one instance per fixed size below");
template void qpchol_sized<0>(int, double*, int, int);
template void qpchol_sized<1>(int, double*, int, int);
template void qpchol_sized<2>(int, double*, int, int);
template void qpchol_sized<3>(int, double*, int, int);
template void qpchol_sized<4>(int, double*, int, int);
template void qpchol_sized<5>(int, double*, int, int);
template void qpchol_sized<6>(int, double*, int, int);
template void qpchol_sized<7>(int, double*, int, int);
template void qpchol_sized<8>(int, double*, int, int);

}  // namespace detail

void QPCHOL(int N, double* T, int NACT, int IPRINT) {
  detail::qpchol_sized<0>(N, T, NACT, IPRINT);
}

}  // namespace vek::qp
