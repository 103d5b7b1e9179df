// QPSUB: solves one QP subproblem of the SQP iteration (the only entry of the QP solver).
//
// In the variables D(1..NQ), D(NQ) being the relaxation variable:
//   minimise G'D + 1/2 D'HD  subject to  sum_{i<NQ} A(i,j) D(i) + C(j) {= 0, >= 0, <= 0}  (KTYPE 0, +1, -1)
//   and DL(i) <= D(i) <= DU(i), i < NQ.  QPSUB supplies the relaxation variable's data itself.
// Arrays are 1-based in the description and contiguous, column-major (A has leading dimension LCN >= NQ);
// H is the packed lower triangle by columns. Scalars are passed by value, outputs by reference.
//   KTYPE (M)   in/out  constraint kinds; given back unchanged on every return
//   D (NQ)      out     the solution, D(NQ) in [0, 1]
//   U (M)       out     multipliers in the caller's order and sense
//   DL, DU (NQ) in/out  step bounds; on return the multipliers of the lower/upper bounds
//   C (M), A (LCN x M), G (NQ), H (NQ(NQ+1)/2)   in, destroyed
//   IWA (LIWA >= 2NQ - ME + M), WA (LWA >= 2M + NR(3NR+5)/2, NR = NQ - ME)   work
//   MODE 1 selects the reliable active-set routine, anything else the normal one
//   QPFAIL out: 0 success; 1 workspace too small; 2 equality constraints linearly dependent;
//               3 the active-set iteration hit its pass limit (degenerate data); D, U, DL, DU then
//                 describe its last iterate, KTYPE is restored
//               4 inconsistent arguments (NQ < 1, M < 0, ME outside 0..M, LCN < NQ, a kind outside
//                 -1..1, or ME not the number of zero kinds); nothing is changed
//               6 a non-finite value arose (non-finite data, or an overflow such as from a tiny
//                 pivot); D, U, DL, DU are set to zero
//               7 cancelled: the calling thread's cancellation request (qp/cancellation.h) was seen;
//                 D, U, DL, DU are set to zero (never without a CancellationScope)
//   IPRINT >= 0 lets the messages reach output unit 7
#pragma once

namespace vek::qp {

inline constexpr int kQpfailCancelled = 7;

void QPSUB(int NQ, int LCN, int M, int ME, int* KTYPE, double* D, double* U, double* DL, double* DU,
           double* C, double* A, double* G, double* H, int* IWA, double* WA, int LIWA, int LWA, int MODE,
           int& QPFAIL, int IPRINT);

// Exact minimum workspace lengths of QPSUB, in 64 bits (NR(3NR+5) passes the int range near
// NR = 26750, before its half does).
constexpr long long qpsub_min_liwa(int NQ, int M, int ME) {
  return 2LL * NQ - ME + M;
}
constexpr long long qpsub_min_lwa(int NQ, int M, int ME) {
  const long long nr = static_cast<long long>(NQ) - ME;
  return 2LL * M + nr * (3 * nr + 5) / 2;
}

}  // namespace vek::qp
