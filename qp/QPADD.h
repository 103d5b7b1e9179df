#pragma once

namespace vek::qp {

// Adds a constraint with normal AN to the QP factor storage holding NACT active constraints.
void QPADD(int N, int NACT, const double* AN, double* Q, double* T, double* WK);

namespace detail {
// QPADD for N = kN (kN > 0, the fixed-size instances of the active set) or any N (kN = 0, QPADD itself).
template <int kN>
void qpadd_sized(int N, int NACT, const double* AN, double* Q, double* T, double* WK);
}  // namespace detail

}  // namespace vek::qp
