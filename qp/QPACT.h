#pragma once

namespace vek::qp {

// The guard of QPACT and QPACTR: at most this many passes through the main loop (each addition, drop
// or refinement costs one), far above what a non-degenerate problem needs.
constexpr int qpact_pass_limit(int NR, int ME, int MR) {
  return 5 * (NR + MR + ME) + 100;
}

// Active-set solver of the reduced, inequality-only QP, normal mode (see QPACT.cpp).
void QPACT(int LCN, int NR, int ME, int MR, int* IACT, int* IBND, int* IELB, int* IINE, double* D, double* V,
           double* UI, double* DL, double* EL, double* DU, double* EU, double* C, double* AE, double* AI,
           const double* G, const double* H, double* GD, double* W, double* SE, double* SI, double* FE,
           double* FI, double* Q, double* T, int IPRINT, int& STATUS);

}  // namespace vek::qp
