#pragma once

namespace vek::qp {

// Eliminates the ME leading (equality) constraints together with as many variables (see QPREDU.cpp).
void QPREDU(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H, double* DL,
            double* DU, double* WA, int IPRINT);

namespace detail {
// QPREDU for NQ = kNQ (kNQ > 0, QPSUB's fixed-size instances) or any NQ (kNQ = 0, QPREDU itself).
// With reach (NQ doubles of work, kNQ = 0) the exchange steps go several to a pass over the equality
// columns; results are bitwise those without.
template <int kNQ>
void qpredu_sized(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H,
                  double* DL, double* DU, double* WA, int IPRINT, double* reach);
}  // namespace detail

}  // namespace vek::qp
