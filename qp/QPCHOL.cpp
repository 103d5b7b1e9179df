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

void QPCHOL(int N, double* T, int NACT, int IPRINT) {
  const int n = N;
  const int q = NACT;
  if (q + 1 > n) return;
  const Factor<double> f(T, n);
  for (int j = n; j >= q + 1; --j) {
    double d = 1.0;
    for (int i = j; i >= q + 1; --i) {
      // Rows i and j beyond column j are already final, so the update works in place.
      double s = f.u(i, j);
      for (int m = j + 1; m <= n; ++m) s -= f.u(j, m) * f.u(i, m);
      if (i == j) {
        if (s <= kPivotFloor) {
          report_small_pivot(s, IPRINT);
          s = kPivotFloor;
        }
        d = std::sqrt(s);
        f.u(j, j) = s / d;
      } else {
        f.u(i, j) = s / d;
      }
    }
  }
}

}  // namespace vek::qp
