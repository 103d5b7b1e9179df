#pragma once

namespace vek::qp {

// Drops the constraint at position L of the q active ones from the QP factor storage.
void QPDEL(int N, int NACT, int L, int& IFAIL, double* W, double* Q, const double* H, double* T, int IPRINT);

namespace detail {
// QPDEL for N = kN (kN > 0, the fixed-size instances of the active set) or any N (kN = 0, QPDEL itself).
template <int kN>
void qpdel_sized(int N, int NACT, int L, int& IFAIL, double* W, double* Q, const double* H, double* T,
                 int IPRINT);
}  // namespace detail

}  // namespace vek::qp
