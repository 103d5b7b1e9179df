#pragma once

namespace vek::qp {

// Eliminates the ME leading (equality) constraints together with as many variables (see QPREDU.cpp).
void QPREDU(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H, double* DL,
            double* DU, double* WA, int IPRINT);

namespace detail {
// QPREDU for NQ = kNQ (kNQ > 0, QPSUB's fixed-size instances) or any NQ (kNQ = 0, QPREDU itself).
// LWA: the doubles WA holds (NQ for QPREDU itself). With more room (kNQ = 0) the work goes in larger
// pieces: from 2 NQ the exchange steps several to a pass over the equality columns, and the reduced
// Hessian four columns to a pass where WA holds 4 ME. Results are bitwise those with LWA = NQ.
template <int kNQ>
void qpredu_sized(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H,
                  double* DL, double* DU, double* WA, int IPRINT, long long LWA);
}  // namespace detail

}  // namespace vek::qp
