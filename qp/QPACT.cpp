// QPACT: solves the reduced QP that QPSUB hands on (normal mode), a primal active-set method in
// null-space form started from the feasible point D = 0 with an empty active set:
//   min G'D + 1/2 D'HD  over D(1..NR)
//   s.t. AI(:,j)'D + C(j) >= 0 (j = 1..MR),  EL(k) <= -AE(:,k)'D <= EU(k) (k = 1..ME),  DL <= D <= DU.
// D = 0 must satisfy every constraint (C >= 0, DL <= 0 <= DU, EL <= 0 <= EU); this is not checked.
//
//   LCN        in      leading dimension of AE and AI
//   NR, ME, MR in      numbers of variables, elimination rows and inequality rows
//   IACT (NR)  out     active list: +j inequality row j, -i a bound of variable i, -(NR+k) elim. row k
//   IBND (NR)  out     bound state of variable i: 0 free, 1 at DL(i), 2 at DU(i)
//   IELB (ME)  out     elimination row state: 0 free, 1 with -v(k) at EL(k), 2 with -v(k) at EU(k)
//   IINE (MR)  out     inequality row state: 0 inactive, 1 active
//   D (NR)     out     the solution
//   V (ME)     work    running scaled row values v(k) = AE(:,k)'D
//   UI (MR)    out     multipliers of the inequality rows (running scaled residuals during the call)
//   DL, DU (NR), EL, EU (ME)  in/out  bounds; on return the multipliers of the active bounds, else 0
//   C (MR), AI (LCN x MR)     in      rows are scaled in place and left scaled
//   AE (LCN x ME)             in      scaled during the call, the caller's values on return
//   G (NR), H (NR(NR+1)/2)    in      linear term and Hessian (packed lower triangle by columns)
//   GD, W (NR), SE, FE (ME), SI, FI (MR)   work; on return W(1..q) holds the active-list multipliers
//   Q (NR x NR), T (NR(NR+1)/2)            work: the QP factor storage
//   IPRINT     in      listing control: the line "*** MIRAX, NUMBER OF ACTIVE BOUNDS + CONSTRAINTS ="
//   STATUS     out     0 solved; 1 the main loop exceeded 5(NR+MR+ME) + 100 passes (degenerate data):
//                      the iteration stopped and the outputs describe its last iterate
//                      2 cancelled by the calling thread's request (qp/cancellation.h)
// Small pivots of the initial factorisation and an indefinite reduced Hessian are reset with their
// messages (QPCHOL, QPDEL) and the iteration goes on.
#include "qp/QPACT.h"

#include "qp/active_set.h"

namespace vek::qp {

void QPACT(int LCN, int NR, int ME, int MR, int* IACT, int* IBND, int* IELB, int* IINE, double* D, double* V,
           double* UI, double* DL, double* EL, double* DU, double* EU, double* C, double* AE, double* AI,
           const double* G, const double* H, double* GD, double* W, double* SE, double* SI, double* FE,
           double* FI, double* Q, double* T, int IPRINT, int& STATUS) {
  const detail::ActiveSetArgs args{LCN, NR, ME, MR, IACT, IBND, IELB, IINE, D,  V,  UI, DL, EL, DU,    EU,
                                   C,   AE, AI, G,  H,    GD,   W,    SE,   SI, FE, FI, Q,  T,  IPRINT};
  STATUS = detail::solve_active_set(detail::ActiveMode::normal, args, qpact_pass_limit(NR, ME, MR));
}

}  // namespace vek::qp
