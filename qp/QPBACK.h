#pragma once

namespace vek::qp {

// Recovers the eliminated variables and the equality multipliers after QPREDU (see QPBACK.cpp).
void QPBACK(int LCN, int NQ, int ME, int M, const int* IWA, double* D, double* U, double* DL, double* DU,
            const double* A, const double* G, const double* H, double* WA);

namespace detail {
// QPBACK for NQ = kNQ (kNQ > 0, QPSUB's fixed-size instances) or any NQ (kNQ = 0, QPBACK itself).
template <int kNQ>
void qpback_sized(int LCN, int NQ, int ME, int M, const int* IWA, double* D, double* U, double* DL,
                  double* DU, const double* A, const double* G, const double* H, double* WA);
}  // namespace detail

}  // namespace vek::qp
