// The engine workspace VF, cut once into its six named segments.
//
// vf_segments(N, M, VF, LWVF, out): VF has LWVF elements; on success `out` views, in order,
//   lambda (M)  multipliers of the latest QP subproblem
//   mu (M)      penalty weights of the line search
//   B           Hessian approximation, order N+1, packed lower triangle by columns
//   glag_new(N) gradient of the Lagrangian at the new point
//   glag0 (N)   gradient of the Lagrangian at the line-search start; later y and eta of the update
//   x0 (N)      start point of the line search; later B*delta of the update
// Returns false (and leaves `out` alone) when LWVF is below mirax_min_lwvf(N, M). cut_vf(N, M, VF) gives
// the same segments for sizes already checked. Nowhere else in the engine is VF indexed as a whole.
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

inline VfSegments cut_vf(int N, int M, double* VF) {
  const int n1 = N + 1;
  double* const b = VF + 2 * M;
  double* const glag_new = b + qp::packed_size(n1);
  return VfSegments{qp::Vec1<double>(VF, M),           qp::Vec1<double>(VF + M, M),
                    qp::Packed<double>(b, n1),         qp::Vec1<double>(glag_new, N),
                    qp::Vec1<double>(glag_new + N, N), qp::Vec1<double>(glag_new + 2 * N, N)};
}

inline bool vf_segments(int N, int M, double* VF, int LWVF, VfSegments& out) {
  if (N < 1 || M < 0 || LWVF < mirax_min_lwvf(N, M)) return false;
  out = cut_vf(N, M, VF);
  return true;
}

}  // namespace vek::engine
