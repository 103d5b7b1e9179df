// QPBACK: the companion of QPREDU. Computes the eliminated variables from the free ones, the
// multipliers of the equality constraints from the stationarity of the eliminated variables, and
// undoes QPREDU's variable interchanges.
//
//   LCN, NQ, ME, M  in   leading dimension of A; variables; equality constraints; constraints
//   IWA (ME)   in      QPREDU's interchange record
//   D (NQ)     in/out  in: D(ME+1..NQ) the free variables; out: D(1..NQ) in the caller's order
//   U (M)      in/out  in: U(ME+1..M) inequality multipliers; out: U(1..ME) the equality multipliers
//   DL, DU (NQ) in/out bound multipliers, interchanged order in, the caller's variable order out
//   A, G, H    in      as QPREDU left them (inverse block, elimination block, rows 1..ME of the
//                      inequalities, G(1..ME), columns 1..ME of H); not changed
//   WA (ME)    work    stationarity residuals
// Nothing is done when ME <= 0. No failure.
#include "qp/QPBACK.h"

#include <utility>

#include "qp/views.h"

namespace vek::qp {

namespace detail {

template <int kNQ>
void qpback_sized(int LCN, int NQ_given, int ME, int M, const int* IWA, double* D, double* U, double* DL,
                  double* DU, const double* A, const double* G, const double* H, double* WA) {
  if (ME <= 0) return;
  const int NQ = kNQ > 0 ? kNQ : NQ_given;
  const Mat1<const double> a(A, LCN);
  const Packed<const double> h(H, NQ);
  const Vec1<const double> g(G);
  const Vec1<const int> iwa(IWA);
  const Vec1<double> d(D), u(U), dl(DL), du(DU), wa(WA);

  // 1. Eliminated variables from the elimination block.
  for (int i = 1; i <= ME; ++i) {
    double s = 0.0;
    for (int l = ME + 1; l <= NQ; ++l) s += a(l, i) * d(l);
    d(i) = -s;
  }
  // 2. Stationarity residual of each eliminated variable without its equality terms.
  for (int j = 1; j <= ME; ++j) {
    double s = g(j) + du(j) - dl(j);
    for (int l = 1; l <= NQ; ++l) s += h.sym(j, l) * d(l);
    for (int k = ME + 1; k <= M; ++k) s -= a(j, k) * u(k);
    wa(j) = s;
  }
  // 3. Equality multipliers: the inverse block applied to the residuals.
  for (int i = 1; i <= ME; ++i) {
    double s = 0.0;
    for (int t = 1; t <= ME; ++t) s += a(i, t) * wa(t);
    u(i) = s;
  }
  // 4. Undo the interchanges in reverse order.
  for (int i = ME; i >= 1; --i) {
    const int p = iwa(i);
    std::swap(d(i), d(p));
    std::swap(du(i), du(p));
    std::swap(dl(i), dl(p));
  }
}

// The instances: any size (0) and every fixed size up to kLargestFixedSize + 1.
static_assert(kLargestFixedSize + 1 == 9, "one instance per fixed size below");
template void qpback_sized<0>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<1>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<2>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<3>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<4>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<5>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<6>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<7>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<8>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);
template void qpback_sized<9>(int, int, int, int, const int*, double*, double*, double*, double*,
                              const double*, const double*, const double*, double*);

}  // namespace detail

void QPBACK(int LCN, int NQ, int ME, int M, const int* IWA, double* D, double* U, double* DL, double* DU,
            const double* A, const double* G, const double* H, double* WA) {
  detail::qpback_sized<0>(LCN, NQ, ME, M, IWA, D, U, DL, DU, A, G, H, WA);
}

}  // namespace vek::qp
