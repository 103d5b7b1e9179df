// The engine workspace VF, cut once into its six named segments.
//
// vf_segments(N, M, VF, LWVF, out): VF has LWVF elements; on success `out` views, in order,
//   lambda (M)  multipliers of the latest QP subproblem
//   mu (M)      penalty weights of the line search
//   B           Hessian approximation, order N+1, packed lower triangle by columns
//   glag_new(N) gradient of the Lagrangian at the new point
//   glag0 (N)   gradient of the Lagrangian at the line-search start; later y and eta of the update
//   x0 (N)      start point of the line search; later B*delta of the update
// Returns false (and leaves `out` alone) when LWVF is below mirax_min_lwvf(N, M). Nowhere else in the
// engine is VF indexed as a whole.
#pragma once

#include "engine/MIRAX.h"
#include "qp/views.h"

namespace vek::engine {

struct VfSegments {
  qp::Vec1<double> lambda;
  qp::Vec1<double> mu;
  qp::Packed<double> B;
  qp::Vec1<double> glag_new;
  qp::Vec1<double> glag0;
  qp::Vec1<double> x0;
};

inline bool vf_segments(int N, int M, double* VF, int LWVF, VfSegments& out) {
  if (N < 1 || M < 0 || LWVF < mirax_min_lwvf(N, M)) return false;
  const int n1 = N + 1;
  double* next = VF;
  out.lambda = qp::Vec1<double>(next, M);
  next += M;
  out.mu = qp::Vec1<double>(next, M);
  next += M;
  out.B = qp::Packed<double>(next, n1);
  next += qp::packed_size(n1);
  out.glag_new = qp::Vec1<double>(next, N);
  next += N;
  out.glag0 = qp::Vec1<double>(next, N);
  next += N;
  out.x0 = qp::Vec1<double>(next, N);
  return true;
}

}  // namespace vek::engine
