#pragma once

namespace vek::qp {

// Eliminates the ME leading (equality) constraints together with as many variables (see QPREDU.cpp).
void QPREDU(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H, double* DL,
            double* DU, double* WA, int IPRINT);

namespace detail {
// QPREDU for NQ = kNQ (kNQ > 0, QPSUB's fixed-size instances) or any NQ (kNQ = 0, QPREDU itself).
template <int kNQ>
void qpredu_sized(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H,
                  double* DL, double* DU, double* WA, int IPRINT);
}  // namespace detail

}  // namespace vek::qp
