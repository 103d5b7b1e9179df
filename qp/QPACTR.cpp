// QPACTR: solves the same reduced QP as QPACT (same arguments and results), reliable mode. It starts
// with every variable held at zero by an artificial constraint (normal e_i), so the active set is full
// and the reduced Hessian empty; variables are released one at a time, and QPDEL builds the factor of
// the reduced Hessian row by row. No Cholesky factorisation of the whole Hessian is ever needed.
//
// Arguments as for QPACT, except:
//   IBND (NR)  out     a fourth state 3: variable i still held at zero by its artificial constraint
//   IACT (NR)  out     codes: j inequality row j; MR+k elimination row k; MR+ME+i a bound of variable
//                      i; -i the artificial constraint of variable i
//   STATUS     out     0 solved; 1 the pass limit 5(NR+MR+ME) + 100 tripped (see QPACT)
//                      2 cancelled by the calling thread's request (qp/cancellation.h)
// An artificial constraint is released when its multiplier has magnitude >= tau, of either sign; it
// competes with the real constraints through -|multiplier|. Active slopes raise the zero tolerance by
// five times their size. A variable still held at the end has zero bound multipliers.
#include "qp/QPACTR.h"

#include "qp/active_set.h"

namespace vek::qp {

void QPACTR(int LCN, int NR, int ME, int MR, int* IACT, int* IBND, int* IELB, int* IINE, double* D, double* V,
            double* UI, double* DL, double* EL, double* DU, double* EU, double* C, double* AE, double* AI,
            const double* G, const double* H, double* GD, double* W, double* SE, double* SI, double* FE,
            double* FI, double* Q, double* T, int IPRINT, int& STATUS) {
  const detail::ActiveSetArgs args{LCN, NR, ME, MR, IACT, IBND, IELB, IINE, D,  V,  UI, DL, EL, DU,    EU,
                                   C,   AE, AI, G,  H,    GD,   W,    SE,   SI, FE, FI, Q,  T,  IPRINT};
  STATUS = detail::solve_active_set(detail::ActiveMode::reliable, args, qpact_pass_limit(NR, ME, MR));
}

}  // namespace vek::qp
