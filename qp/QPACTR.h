#pragma once

namespace vek::qp {

// Active-set solver of the reduced, inequality-only QP, reliable mode (see QPACTR.cpp).
void QPACTR(int LCN, int NR, int ME, int MR, int* IACT, int* IBND, int* IELB, int* IINE, double* D, double* V,
            double* UI, double* DL, double* EL, double* DU, double* EU, double* C, double* AE, double* AI,
            const double* G, const double* H, double* GD, double* W, double* SE, double* SI, double* FE,
            double* FI, double* Q, double* T, int IPRINT, int& STATUS);

}  // namespace vek::qp
