#pragma once

namespace vek::qp {

// Reverse Cholesky factorisation U U' of the trailing block q+1..n of the QP factor storage.
void QPCHOL(int N, double* T, int NACT, int IPRINT);

namespace detail {
// QPCHOL for N = kN (kN > 0, the fixed-size instances of the active set) or any N (kN = 0, QPCHOL itself).
template <int kN>
void qpchol_sized(int N, double* T, int NACT, int IPRINT);
}  // namespace detail

}  // namespace vek::qp
