// MIRAX2: builds and solves the QP subproblem of one SQP iteration, protecting the engine's arrays.
//
// QPSUB destroys the constraint values, the constraint gradients and the Hessian it is given. MIRAX2
// hands it copies kept in WQP when WQP is long enough (in-memory mode), and otherwise saves the
// engine's arrays in one record on scratch unit 40 and reads them back after the solve (scratch mode).
//
// Arguments (arrays 1-based in the description):
//   N, M, ME       in      variables, constraints, equality constraints
//   KTYPE (M)      in/out  constraint kinds, handed to QPSUB (given back unchanged)
//   G (N)          in      objective gradient
//   C (M)          in      constraint values; unchanged on return in both modes
//   A (LCN x M)    in      constraint gradients; rows 1..N unchanged on return, row N+1 is QP scratch
//   LCN            in      leading dimension of A, > N
//   INF            out     6 when the QP's relaxation variable D(NQ) < 1e-4 (inconsistent
//                          linearisation), else 0; set also after a QP failure (QPFAIL decides first)
//   NQ             in      N + 1
//   U (M)          out     the QP's constraint multipliers
//   H (NQ(NQ+1)/2) in      Hessian approximation, order NQ packed; unchanged on return (row NQ too)
//   D (NQ)         out     the step D(1..N) and the relaxation variable D(NQ)
//   WQP (LWQP)     work    laid out by partition_wqp
//   X, XL, XU (N)  in      current point and its bounds
//   MODE, IPRINT   in      passed to QPSUB
//   QPFAIL         out     QPSUB's code (0 success, 1 to 4, 6), or 1 when LWQP is below the minimum, or
//                          kQpfailNoScratch when scratch mode is needed but the scratch record could
//                          not be written or read back (QPSUB is then not called, or its result is
//                          discarded since the engine's arrays could not be restored)
// The step bounds are XL - X and XU - X, clamped so that D = 0 is always feasible for the QP even when
// X lies outside its bounds (the QP starts from D = 0).
#pragma once

#include "qp/views.h"

namespace vek::engine {

inline constexpr int kQpfailNoScratch = 5;  // QPSUB itself uses 1 to 4 and 6

// The QP workspace WQP, cut into named pieces (1-based views; `iwa_storage` holds LIWA elements that
// MIRAX2 reuses as LIWA integers).
struct QpPartition {
  int NQ = 0, NR = 0, LIWA = 0, LWA = 0;
  long long minimum = 0;         // 3NQ + LIWA + LWA: the least LWQP (scratch mode)
  long long in_memory_need = 0;  // minimum + M + NQ*M + NQ(NQ+1)/2: LWQP for in-memory mode
  bool in_memory = false;
  qp::Vec1<double> lin;     // NQ  linear term of the QP
  qp::Vec1<double> dl, du;  // NQ  step bounds in, bound multipliers out
  double* iwa_storage = nullptr;
  qp::Vec1<double> wa;      // LWA real workspace of QPSUB
  qp::Vec1<double> c_copy;  // M   (in-memory mode)
  qp::Mat1<double> a_copy;  // NQ x M, leading dimension NQ (in-memory mode)
  qp::Vec1<double> h_copy;  // NQ(NQ+1)/2 (in-memory mode)
};

// Starts the lifetime of `count` ints in storage of `count` doubles (room for twice as many ints), so
// that a piece of WQP serves as QPSUB's integer workspace without allocating; returns the first.
int* begin_integer_workspace(double* storage, int count);

// Computes every piece of WQP from the sizes. Returns false, leaving the views empty, when LWQP is
// below the minimum. The copy slots are set only in in-memory mode.
bool partition_wqp(int N, int M, int ME, double* WQP, int LWQP, QpPartition& p);

void MIRAX2(int N, int M, int ME, int* KTYPE, const double* G, double* C, double* A, int LCN, int& INF,
            int NQ, double* U, double* H, double* D, double* WQP, int LWQP, const double* X, const double* XL,
            const double* XU, int MODE, int& QPFAIL, int IPRINT);

}  // namespace vek::engine
