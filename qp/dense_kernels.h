// Element-wise kernels of the QP's dense loops on long runs: each output element receives exactly the
// operations, in the order, of the scalar loop it replaces (no sum is split or reordered, no product is
// contracted), so results are bitwise those of the plain loops. Built with vectorisation, and on x86-64
// Linux also as an AVX2 clone chosen at load time.
//
//   add_scaled(y, x, s, n)               y[b] += x[b] * s
//   add_abs_scaled(y, x, s, n)           y[b] += |x[b]| * s
//   add_terms(y, size, x, t, n)          term = t * x[b]; y[b] += term; size[b] += |term|
//   add_scaled_twice(y, s, z, r, x, n)   y[b] += x[b] * s; z[b] += x[b] * r  (one pass over x)
//   add_scaled_each(y, x, s, count, n)   y[b] += x[q][b] * s[q] for q = 0..count-1 in turn, count <= 4
//                                        (one pass over y)
//   add_products4(y, ny, x, s, n)        yk[b] += x[q][b] * s[4k + q] for q = 0..3 in turn, k = 0..ny-1,
//                                        ny = 1, 2 or 4 (one pass over the four x for all y)
// for b = 0..n-1; y does not overlap x (size neither). One kernel keeps sums, not elements, side by side:
//   add_terms_4x4(y, ld, h, r0, t0, t1, e)   y[i ld + k] += h[k][t] * e[4 (t - t0) + i] for t = t0..t1 in
//                                        increasing t, for the sums k = 0..3 that have begun (t > r0 + k)
//                                        and the four interleaved right-hand sides i = 0..3
#pragma once

namespace vek::qp {

void add_scaled(double* y, const double* x, double s, int n);
void add_abs_scaled(double* y, const double* x, double s, int n);
void add_terms(double* y, double* size, const double* x, double t, int n);
void add_scaled_twice(double* y, double s, double* z, double r, const double* x, int n);
void add_scaled_each(double* y, const double* const* x, const double* s, int count, int n);
void add_products4(double* const* y, int ny, const double* const* x, const double* s, int n);
void add_terms_4x4(double* y, long ld, const double* const* h, int r0, int t0, int t1, const double* e);

}  // namespace vek::qp
