// Element-wise kernels of the QP's dense loops (contract in dense_kernels.h).
#include "qp/dense_kernels.h"

#include <cmath>

// Vectorised whatever the library's flags (its small-array code is built without): the loops are
// element-wise, so vector code changes no result. Never contracted into fused multiply-adds (the AVX-512
// clone's target has them), which would round a product and its sum once instead of twice.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("tree-vectorize", "fp-contract=off")
#endif

// The clone is chosen by an IFUNC resolver, which runs while the library is relocated: before a
// sanitizer's runtime or a profiling build's counters are ready, so those builds go without it.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__) && \
    !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__) && !defined(VEK_NO_KERNEL_CLONES)
#define VEK_KERNEL __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VEK_KERNEL
#endif

namespace vek::qp {
namespace {

// y0[b], y1[b] += x[q][b] * s[q] and s[4 + q], q = 0..3 in turn (one pass over x for both).
VEK_KERNEL void products4_2(double* __restrict y0, double* __restrict y1, const double* __restrict x0,
                            const double* __restrict x1, const double* __restrict x2,
                            const double* __restrict x3, const double* s, int n) {
  const double c0 = s[0], c1 = s[1], c2 = s[2], c3 = s[3], d0 = s[4], d1 = s[5], d2 = s[6], d3 = s[7];
  for (int b = 0; b < n; ++b) {
    y0[b] = (((y0[b] + x0[b] * c0) + x1[b] * c1) + x2[b] * c2) + x3[b] * c3;
    y1[b] = (((y1[b] + x0[b] * d0) + x1[b] * d1) + x2[b] * d2) + x3[b] * d3;
  }
}

// The four-y form as two passes of two: each y's sum is unchanged, and eight arrays at once are more
// than the vectoriser will check for overlap.
void products4_4(double* const* y, const double* const* x, const double* s, int n) {
  products4_2(y[0], y[1], x[0], x[1], x[2], x[3], s, n);
  products4_2(y[2], y[3], x[0], x[1], x[2], x[3], s + 8, n);
}

}  // namespace

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

VEK_KERNEL void add_scaled_each(double* __restrict y, const double* const* x, const double* s, int count,
                                int n) {
  const double* __restrict x0 = x[0], * __restrict x1 = x[count > 1 ? 1 : 0];
  const double* __restrict x2 = x[count > 2 ? 2 : 0], * __restrict x3 = x[count > 3 ? 3 : 0];
  const double s0 = s[0], s1 = count > 1 ? s[1] : 0.0, s2 = count > 2 ? s[2] : 0.0,
               s3 = count > 3 ? s[3] : 0.0;
  switch (count) {  // one loop per count, each element's terms in turn
    case 1:
      for (int b = 0; b < n; ++b) y[b] += x0[b] * s0;
      break;
    case 2:
      for (int b = 0; b < n; ++b) y[b] = (y[b] + x0[b] * s0) + x1[b] * s1;
      break;
    case 3:
      for (int b = 0; b < n; ++b) y[b] = ((y[b] + x0[b] * s0) + x1[b] * s1) + x2[b] * s2;
      break;
    default:
      for (int b = 0; b < n; ++b) y[b] = (((y[b] + x0[b] * s0) + x1[b] * s1) + x2[b] * s2) + x3[b] * s3;
  }
}

void add_products4(double* const* y, int ny, const double* const* x, const double* s, int n) {
  if (ny == 1) return add_scaled_each(y[0], x, s, 4, n);
  if (ny == 2) return products4_2(y[0], y[1], x[0], x[1], x[2], x[3], s, n);
  products4_4(y, x, s, n);
}

// The four right-hand sides of a sum side by side in one vector: each lane adds its own terms in order.
typedef double Lanes4 __attribute__((vector_size(32)));

VEK_KERNEL void add_terms_4x4(double* y, long ld, const double* const* h, int r0, int t0, int t1,
                              const double* e) {
  Lanes4 acc[4];
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 4; ++i) acc[k][i] = y[i * ld + k];
  const double *h0 = h[0], *h1 = h[1], *h2 = h[2], *h3 = h[3];
  int t = t0 > r0 + 1 ? t0 : r0 + 1;
  for (; t <= t1 && t <= r0 + 3; ++t) {  // the leading terms, while not every sum has begun
    Lanes4 ev;
    __builtin_memcpy(&ev, e + 4 * (t - t0), sizeof ev);
    acc[0] += h0[t] * ev;
    if (t > r0 + 1) acc[1] += h1[t] * ev;
    if (t > r0 + 2) acc[2] += h2[t] * ev;
  }
  for (t = t0 > r0 + 4 ? t0 : r0 + 4; t <= t1; ++t) {
    Lanes4 ev;
    __builtin_memcpy(&ev, e + 4 * (t - t0), sizeof ev);
    acc[0] += h0[t] * ev;
    acc[1] += h1[t] * ev;
    acc[2] += h2[t] * ev;
    acc[3] += h3[t] * ev;
  }
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 4; ++i) y[i * ld + k] = acc[k][i];
}

}  // namespace vek::qp
