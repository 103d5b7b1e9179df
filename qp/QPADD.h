#pragma once

namespace vek::qp {

// Adds a constraint with normal AN to the QP factor storage holding NACT active constraints.
void QPADD(int N, int NACT, const double* AN, double* Q, double* T, double* WK);

}  // namespace vek::qp
