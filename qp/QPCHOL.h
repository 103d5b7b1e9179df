#pragma once

namespace vek::qp {

// Reverse Cholesky factorisation U U' of the trailing block q+1..n of the QP factor storage.
void QPCHOL(int N, double* T, int NACT, int IPRINT);

}  // namespace vek::qp
