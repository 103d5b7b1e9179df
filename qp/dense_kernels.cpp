// Element-wise kernels of the QP's dense loops (contract in dense_kernels.h).
#include "qp/dense_kernels.h"

#include <cmath>

// Vectorised whatever the library's flags (its small-array code is built without): the loops are
// element-wise, so vector code changes no result.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("tree-vectorize")
#endif

// The clone is chosen by an IFUNC resolver, which runs while the library is relocated: before a
// sanitizer's runtime or a profiling build's counters are ready, so those builds go without it.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__) && !defined(VEK_NO_KERNEL_CLONES)
#define VEK_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define VEK_KERNEL
#endif

namespace vek::qp {

VEK_KERNEL void add_scaled(double* __restrict y, const double* __restrict x, double s, int n) {
  for (int b = 0; b < n; ++b) y[b] += x[b] * s;
}

VEK_KERNEL void add_abs_scaled(double* __restrict y, const double* __restrict x, double s, int n) {
  for (int b = 0; b < n; ++b) y[b] += std::fabs(x[b]) * s;
}

VEK_KERNEL void add_terms(double* __restrict y, double* __restrict size, const double* __restrict x, double t,
                          int n) {
  for (int b = 0; b < n; ++b) {
    const double term = t * x[b];
    y[b] += term;
    size[b] += std::fabs(term);
  }
}

VEK_KERNEL void add_scaled_twice(double* __restrict y, double s, double* __restrict z, double r,
                                 const double* __restrict x, int n) {
  for (int b = 0; b < n; ++b) {
    y[b] += x[b] * s;
    z[b] += x[b] * r;
  }
}

VEK_KERNEL void add_scaled_four(double* __restrict y0, double s0, double* __restrict y1, double s1,
                                double* __restrict y2, double s2, double* __restrict y3, double s3,
                                const double* __restrict x, int n) {
  for (int b = 0; b < n; ++b) {
    y0[b] += x[b] * s0;
    y1[b] += x[b] * s1;
    y2[b] += x[b] * s2;
    y3[b] += x[b] * s3;
  }
}

}  // namespace vek::qp
