#pragma once

namespace vek::qp {

// Drops the constraint at position L of the q active ones from the QP factor storage.
void QPDEL(int N, int NACT, int L, int& IFAIL, double* W, double* Q, const double* H, double* T, int IPRINT);

}  // namespace vek::qp
