// QPREDU: removes the equality constraints (columns 1..ME of A) from the QP by Gauss-Jordan exchange
// steps, each expressing one variable through the others, with rows chosen by scaled partial pivoting
// among variables 1..NQ-1 (the relaxation variable NQ, which carries the constants, is never
// eliminated). The inequalities, the linear term and the Hessian are rewritten in the free variables.
//
//   NQ, LCN, M, ME  in      variables, leading dimension of A, constraints, equality constraints
//   IR         out     number of equality constraints pivoted; IR < ME means they are dependent
//   IWA (ME)   out     IWA(k): the variable interchanged with variable k at step k (k when none)
//   A (LCN x M)  in/out  on return with IR = ME, in the interchanged numbering:
//                        A(1..ME,1..ME) the inverse of the eliminated block; A(ME+1..NQ,1..ME) the
//                        elimination block E (eliminated variable k = -sum_l A(l,k) x_l);
//                        A(ME+1..NQ,ME+1..M) the reduced inequalities; A(1..ME,ME+1..M) only permuted
//   G (NQ)     in/out  G(1..ME) permuted; G(ME+1..NQ) the reduced linear term G_F - E G_B
//   H (NQ(NQ+1)/2)  in/out  packed lower triangle by columns: columns 1..ME permuted; the trailing
//                        block (itself a packed triangle of order NQ-ME) the reduced Hessian
//   DL, DU (NQ) in/out  permuted with the variables
//   WA (NQ)    work    row sizes (largest coefficient of each variable), then rounding bounds
//   IPRINT     in      listing control for the small-pivot warning
// Failure: only through IR < ME (no message here; the arrays are as the completed steps left them).
// A pivot ratio <= 1e-10 is used anyway, after a warning on unit 7 (IPRINT >= 0).
// Rounding residues: a value that is zero in exact arithmetic comes out of the exchange steps as a
// residue within a bound computed from the sizes that produced it; such values are set to exactly 0
// in each equality column before its pivot is chosen (so that a dependent equality shows as a zero
// column), in the elimination block and in the reduced inequalities (so that a fixed variable or an
// implied inequality does not become a constraint made of rounding).
#include "qp/QPREDU.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "io/layout.h"
#include "qp/cancellation.h"
#include "qp/dense_kernels.h"
#include "qp/views.h"

namespace vek::qp {
namespace {

constexpr double kSmallPivot = 1e-10;

// The loops below run over contiguous columns: col(j)[i - 1] = A(i, j), and h.column(j)[i - j] = H(i, j)
// for i >= j.
double* col(const Mat1<double>& a, int j) {
  return a.column(j).data();
}

// The any-size instance runs its long loops down columns, a block of rows at a time with the partial
// sums of the block in a stack array: each element's sum keeps its terms and their order, so results
// are those of the row-by-row loops of the fixed-size instances.
constexpr int kRowBlock = 256;

// Steps ahead at which a strided walk across the packed columns asks for its next element.
constexpr int kPrefetchAhead = 16;

// The most columns of the reduced Hessian formed in one pass over E (their rows of H_BB E' in WA).
constexpr int kMaxColumns = 16;
// Rows of E per block of the reduced Hessian's sums: the block's 2 kMaxColumns sums stay in the
// first-level cache.
constexpr int kSumRows = kRowBlock * 8 / kMaxColumns;

// Exchanges variables k < p in the packed symmetric matrix: a symmetric permutation of rows/columns.
void swap_packed(const Packed<double>& h, int n, int k, int p) {
  std::swap(h(k, k), h(p, p));
  const bool far = n >= 64;  // rows k and p of the columns before p: a new cache line each
  for (int i = 1; i <= n; ++i) {
    if (far && i + kPrefetchAhead < p) {
      if (i + kPrefetchAhead < k) __builtin_prefetch(&h(k, i + kPrefetchAhead));
      __builtin_prefetch(&h(p, i + kPrefetchAhead));
    }
    if (i != k && i != p) std::swap(h.sym(i, k), h.sym(i, p));
  }
}

// Row sizes: the largest coefficient of each variable over all M columns (kept in WA(1..NQ)).
template <int kNQ>
void row_sizes(int nq_given, int m, const Mat1<double>& a, double* size) {
  const int nq = kNQ > 0 ? kNQ : nq_given;
  const std::ptrdiff_t ld = a.ld();
  if constexpr (kNQ == 0) {  // down the columns: a maximum does not depend on the order
    for (int i = 0; i < nq; ++i) size[i] = 0.0;
    for (int j = 0; j < m; ++j) {
      const double* aj = a.data() + j * ld;
      for (int i = 0; i < nq; ++i) size[i] = std::max(size[i], std::fabs(aj[i]));
    }
    return;
  }
  for (int i = 0; i < nq; ++i) {
    const double* ai = a.data() + i;  // A(i+1, j+1) at ai[j ld]
    double s = 0.0;
    for (int j = 0; j < m; ++j) s = std::max(s, std::fabs(ai[j * ld]));
    size[i] = s;
  }
}

// Pivot row for column k: the first variable with the largest scaled ratio; 0 when all are zero. A
// variable whose coefficients are all small is judged against 0.01.
template <int kNQ>
int choose_pivot(int nq_given, int k, const Mat1<double>& a, const Vec1<double>& size, double& ratio) {
  const int nq = kNQ > 0 ? kNQ : nq_given;
  const double* ak = col(a, k) - 1;  // 1-based
  const double* sz = size.data() - 1;
  int p = 0;
  ratio = 0.0;
  for (int i = k; i <= nq - 1; ++i) {
    const double r = std::fabs(ak[i]) / std::max(0.01, sz[i]);
    if (r > ratio) {
      ratio = r;
      p = i;
    }
  }
  return p;
}

// One Gauss-Jordan exchange step on the pivot A(k,k) over the equality columns 1..me.
// The pivot column k divided by its pivot, with the pivot's inverse in row k.
void scale_pivot_column(int nq, int k, const Mat1<double>& a) {
  double* const ak = col(a, k);
  const double piv = 1.0 / ak[k - 1];
  for (int i = 0; i < nq; ++i) ak[i] *= piv;
  ak[k - 1] = piv;
}

template <int kNQ>
void exchange(int nq_given, int me, int k, const Mat1<double>& a) {
  const int nq = kNQ > 0 ? kNQ : nq_given;
  scale_pivot_column(nq, k, a);
  double* const ak = col(a, k);
  const double piv = ak[k - 1];
  for (int j = 1; j <= me; ++j) {
    if (j == k) continue;
    double* const aj = col(a, j);
    const double t = -aj[k - 1];
    if (t == 0.0) continue;
    if constexpr (kNQ == 0) {
      add_scaled(aj, ak, t, nq);
    } else {
      for (int i = 0; i < nq; ++i) aj[i] += t * ak[i];
    }
    aj[k - 1] = piv * t;
  }
}

// The arrays of one QPREDU call.
struct Problem {
  int nq, m, me;
  Mat1<double> a;
  Vec1<double> g, dl, du, wa;
  Vec1<int> iwa;
  Packed<double> h;
  int iprint;
};

// Step k's pivot row chosen (a warning when small) and interchanged with row k in every array, and in
// reach when given. False when column k has none: the equalities are dependent.
template <int kNQ>
bool take_pivot(const Problem& q, int k, double* reach) {
  const int nq = kNQ > 0 ? kNQ : q.nq;
  double ratio = 0.0;
  const int p = choose_pivot<kNQ>(nq, k, q.a, q.wa, ratio);
  if (p == 0) return false;
  if (ratio <= kSmallPivot && q.iprint >= 0) {
    io::ListDirected(io::kListingUnit).text(" ").end();
    io::ListDirected(io::kListingUnit).text("*** MIRAX, SMALL PIVOT IN \"QPREDU\" = ").num(ratio).end();
  }
  q.iwa(k) = p;
  if (p == k) return true;
  std::swap(q.wa(p), q.wa(k));  // the scales follow the variables
  std::swap(q.dl(p), q.dl(k));
  std::swap(q.du(p), q.du(k));
  for (int j = 1; j <= q.m; ++j) {
    if (kNQ == 0 && j + kPrefetchAhead <= q.m) {  // two new cache lines per column, a column apart
      __builtin_prefetch(&q.a(p, j + kPrefetchAhead));
      __builtin_prefetch(&q.a(k, j + kPrefetchAhead));
    }
    std::swap(q.a(p, j), q.a(k, j));
  }
  std::swap(q.g(p), q.g(k));
  swap_packed(q.h, nq, k, p);
  if (reach != nullptr) std::swap(reach[p - 1], reach[k - 1]);
  return true;
}

// Rounding bound of the exchange steps, per step taken: a value that is zero in exact arithmetic comes
// out of t steps as a residue below kResidue * t * eps times the sizes that produced it.
constexpr double kResidue = 128.0;

double residue_gamma(int steps) {
  return kResidue * steps * std::numeric_limits<double>::epsilon();
}

// True when x lies within the rounding bound (an overflowed bound proves nothing).
bool is_residue(double x, double bound) {
  return std::fabs(x) <= bound && bound <= std::numeric_limits<double>::max();
}

// s(i) + sum_{t<k} |A(i,t)| s(t): the size of what the first k-1 steps put into row i, s(i) being the
// largest coefficient of variable i (WA).
double row_reach(int i, int k, const Mat1<double>& a, const Vec1<double>& size) {
  const double* ai = &a(i, 1);
  const std::ptrdiff_t ld = a.ld();
  const double* sz = size.data();
  double r = sz[i - 1];
  for (int t = 0; t < k - 1; ++t) r += std::fabs(ai[t * ld]) * sz[t];
  return r;
}

// visit(i, row_reach(i, k)) for the rows i = first..nq, in increasing i: the reaches of a block of rows
// at a time, summed down the columns (each in the order of row_reach). A block's reaches are all summed
// before the first visit, so visit may write WA(i) for the rows it has been given.
template <class Visit>
void each_row_reach(int first, int nq, int k, const Mat1<double>& a, const Vec1<double>& size, Visit visit) {
  const double* sz = size.data();
  for (int lo = first; lo <= nq; lo += kRowBlock) {
    const int len = std::min(nq, lo + kRowBlock - 1) - lo + 1;
    double r[kRowBlock];
    for (int b = 0; b < len; ++b) r[b] = sz[lo - 1 + b];
    for (int t = 0; t < k - 1; ++t) add_abs_scaled(r, col(a, t + 1) + (lo - 1), sz[t], len);
    for (int b = 0; b < len; ++b) visit(lo + b, r[b]);
  }
}

// sum_{u<k} |A(u,t)|: the size of column t of the inverse built by the first k-1 steps.
double inverse_column(int t, int k, const Mat1<double>& a) {
  const double* at = col(a, t);
  double s = 0.0;
  for (int u = 0; u < k - 1; ++u) s += std::fabs(at[u]);
  return s;
}

// inverse_column(t + u, k) for u = 0..3 into c[u], the four sums side by side.
void inverse_columns4(int t, int k, const Mat1<double>& a, double* c) {
  const double *a0 = col(a, t), *a1 = col(a, t + 1), *a2 = col(a, t + 2), *a3 = col(a, t + 3);
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  for (int u = 0; u < k - 1; ++u) {
    s0 += std::fabs(a0[u]);
    s1 += std::fabs(a1[u]);
    s2 += std::fabs(a2[u]);
    s3 += std::fabs(a3[u]);
  }
  c[0] = s0, c[1] = s1, c[2] = s2, c[3] = s3;
}

// Before step k: entries of equality column k in the rows still free (k..NQ) that lie within the
// rounding bound gamma r(i) K of the k-1 steps before it, K = 1 + sum_{t<k} s(t) |column t of the
// inverse|, are cancellation residues of exact zeros and are set to 0. An equality that depends on
// the ones before it thereby shows as a zero column (dependence), not as a pivot made of rounding.
// K = 1 + sum_{t<k} s(t) |column t of the inverse| over the first k-1 steps.
template <int kNQ>
double inverse_growth(int k, const Mat1<double>& a, const Vec1<double>& size) {
  double growth = 1.0;
  int t = 1;
  if constexpr (kNQ == 0) {  // four column sums side by side, each in its own order
    for (; t + 3 < k; t += 4) {
      double c[4];
      inverse_columns4(t, k, a, c);
      for (int u = 0; u < 4; ++u) growth += size(t + u) * c[u];
    }
  }
  for (; t < k; ++t) growth += size(t) * inverse_column(t, k, a);
  return growth;
}

template <int kNQ>
void clear_column_residues(int nq_given, int k, const Mat1<double>& a, const Vec1<double>& size) {
  const int nq = kNQ > 0 ? kNQ : nq_given;
  if (k == 1) return;
  const double growth = inverse_growth<kNQ>(k, a, size);
  const double gamma = residue_gamma(k - 1);
  if constexpr (kNQ == 0) {
    each_row_reach(k, nq, k, a, size, [&](int i, double r) {
      if (a(i, k) != 0.0 && is_residue(a(i, k), gamma * r * growth)) a(i, k) = 0.0;
    });
    return;
  }
  for (int i = k; i <= nq; ++i) {
    if (a(i, k) != 0.0 && is_residue(a(i, k), gamma * row_reach(i, k, a, size) * growth)) a(i, k) = 0.0;
  }
}

// After all steps: residues in the elimination block E (bound gamma r(l) |column k of the inverse|)
// are set to 0. A fixed variable's row must stay exactly zero when it is zero in exact arithmetic:
// with both of its bounds 0, a residue would forbid every move. WA(l), l > ME, is left holding r(l)
// and WA(k), k <= ME, the size of column k of the inverse, for the inequalities.
template <int kNQ>
void clear_elimination_residues(int nq_given, int me, const Mat1<double>& a, const Vec1<double>& wa) {
  const int nq = kNQ > 0 ? kNQ : nq_given;
  if constexpr (kNQ == 0) {
    each_row_reach(me + 1, nq, me + 1, a, wa, [&](int l, double r) { wa(l) = r; });
  } else {
    for (int l = me + 1; l <= nq; ++l) wa(l) = row_reach(l, me + 1, a, wa);
  }
  for (int k = 1; k <= me; ++k) wa(k) = inverse_column(k, me + 1, a);
  const double gamma = residue_gamma(me);
  const double* const w = wa.data();
  for (int k = 1; k <= me; ++k) {
    double* const ak = col(a, k);
    const double wk = w[k - 1];
    for (int l = me; l < nq; ++l)
      if (is_residue(ak[l], gamma * w[l] * wk)) ak[l] = 0.0;
  }
}

// One inequality column aj of reduce_inequalities (rows ME+1..NQ), a block of rows at a time.
void reduce_column_blocked(int nq, int me, const Mat1<double>& a, double* aj, const double* w,
                           double inherited, double gamma) {
  const std::ptrdiff_t ld = a.ld();
  for (int lo = me; lo < nq; lo += kRowBlock) {
    const int len = std::min(kRowBlock, nq - lo);
    double s[kRowBlock], size[kRowBlock];
    for (int b = 0; b < len; ++b) {
      s[b] = aj[lo + b];
      size[b] = std::fabs(s[b]) + w[lo + b] * inherited;
    }
    for (int k = 0; k < me; ++k) {
      const double t = -aj[k];
      if (t != 0.0) add_terms(s, size, a.data() + k * ld + lo, t, len);
    }
    for (int b = 0; b < len; ++b) aj[lo + b] = is_residue(s[b], gamma * size[b]) ? 0.0 : s[b];
  }
}

// Inequalities in the free variables: each eliminated variable substituted (terms added in increasing
// order of the eliminated variable). A result within its rounding bound (the sizes of its terms, plus
// those inherited from E) is set to 0, so that a row implied by the equalities does not become a
// constraint made of rounding. WA as clear_elimination_residues leaves it.
template <int kNQ>
void reduce_inequalities(int nq_given, int m, int me, const Mat1<double>& a, const Vec1<double>& wa) {
  const int nq = kNQ > 0 ? kNQ : nq_given;
  const double gamma = residue_gamma(me);
  const double* const w = wa.data();
  const std::ptrdiff_t ld = a.ld();
  for (int j = me + 1; j <= m; ++j) {
    if (kNQ == 0 && cancellation_requested()) return;
    double* const aj = col(a, j);
    double inherited = 0.0;
    for (int k = 0; k < me; ++k) inherited += std::fabs(aj[k]) * w[k];
    if constexpr (kNQ == 0) {
      reduce_column_blocked(nq, me, a, aj, w, inherited, gamma);
      continue;
    }
    for (int l = me; l < nq; ++l) {
      const double* const al = a.data() + l;  // A(l+1, k+1) at al[k ld]
      double s = aj[l];
      double size = std::fabs(s) + w[l] * inherited;
      for (int k = 0; k < me; ++k) {
        const double t = -aj[k];
        if (t == 0.0) continue;
        const double term = t * al[k * ld];
        s += term;
        size += std::fabs(term);
      }
      aj[l] = is_residue(s, gamma * size) ? 0.0 : s;
    }
  }
}

// Hessian and linear term in the free variables: H_FF - E H_BF - H_FB E' + E H_BB E' and G_F - E G_B.
// For each column c > ME of the free block, in increasing c: WA(r) = (H_BB E')(r, c); then for every row
// q > ME, with s1 = (E H_BB E')(q, c) and s2 = (E H_BF)(q, c): H(q, c) = (H(q, c) + s1) - s2 for q >= c
// (2 s2 on the diagonal), and H(c, q) -= s2 above the diagonal (the later column's share of that
// element); G(c) loses (E G_B)(c). Each sum over t = 1..ME starts from 0, terms in increasing t.
// For r = r0..r0+3: WA(r) += H(t, r) E(c, t) over t = max(r+1, t0)..t1 in increasing t (e[t - t0] holds
// E(c, t)); the four sums run side by side, each in its own order.
void add_column_terms4(int r0, int t0, int t1, const Packed<double>& h, const double* e, double* w) {
  const double* h0 = h.column(r0) - r0;  // H(t, r0 + k) at hk[t]
  const double* h1 = h.column(r0 + 1) - (r0 + 1);
  const double* h2 = h.column(r0 + 2) - (r0 + 2);
  const double* h3 = h.column(r0 + 3) - (r0 + 3);
  double s0 = w[r0 - 1], s1 = w[r0], s2 = w[r0 + 1], s3 = w[r0 + 2];
  int t = std::max(r0 + 1, t0);
  for (; t <= std::min(t1, r0 + 3); ++t) {  // the leading terms, while not every sum has begun
    const double et = e[t - t0];
    s0 += h0[t] * et;
    if (t > r0 + 1) s1 += h1[t] * et;
    if (t > r0 + 2) s2 += h2[t] * et;
  }
  for (t = std::max(r0 + 4, t0); t <= t1; ++t) {
    const double et = e[t - t0];
    s0 += h0[t] * et;
    s1 += h1[t] * et;
    s2 += h2[t] * et;
    s3 += h3[t] * et;
  }
  w[r0 - 1] = s0, w[r0] = s1, w[r0 + 1] = s2, w[r0 + 2] = s3;
}

// The terms u = max(r + 1, t0)..t1 of WA(r) for one right-hand side, E(c + i, u) at e[stride (u - t0)],
// in increasing u: rows the four-at-a-time kernels leave over.
void add_upper_terms(int r, int t0, int t1, const Packed<double>& h, const double* e, int stride, double& w) {
  const double* hr = h.column(r) - r;  // H(u, r) at hr[u]
  double sum = w;
  for (int u = std::max(r + 1, t0); u <= t1; ++u) sum += hr[u] * e[stride * (u - t0)];
  w = sum;
}

// The terms t = t0..t1 with t > r of WA(r + i ME), i < 4 quads, for every r < t1: four rows r and four
// right-hand sides (E(c + i, t) interleaved) in vector lanes, each sum still in increasing t; the later
// quads reread the four columns of H from cache.
void upper_terms_quads(int me, int quads, int t0, int t1, const double* ac, std::ptrdiff_t ld,
                       const Packed<double>& h, double* w) {
  double e4[kMaxColumns / 4][4 * kRowBlock];
  for (int qd = 0; qd < quads; ++qd)
    for (int u = t0; u <= t1; ++u)
      for (int i = 0; i < 4; ++i) e4[qd][4 * (u - t0) + i] = ac[4 * qd + i + (u - 1) * ld];
  int r = 1;
  for (; r + 3 < t1; r += 4) {
    const double* hk[4];
    for (int k = 0; k < 4; ++k) hk[k] = h.column(r + k) - (r + k);  // H(t, r + k) at hk[k][t]
    for (int qd = 0; qd < quads; ++qd) add_terms_4x4(w + 4 * qd * me + (r - 1), me, hk, r, t0, t1, e4[qd]);
  }
  for (; r < t1; ++r)
    for (int i = 0; i < 4 * quads; ++i)
      add_upper_terms(r, t0, t1, h, e4[i / 4] + i % 4, 4, w[i * me + r - 1]);
}

// WA(r + i ME) = (H_BB E')(r, c + i), r = 1..ME, for the rows c..c+cols-1 of E (cols = 1, 2 or 4k),
// down the columns of H: first the terms t <= r (column t from its diagonal, four columns at a time),
// then those t > r (column r below its diagonal, E(c + i, t) gathered a block of t at a time); each
// WA(r) still adds its terms in increasing t.
void hessian_times_rows(int me, int cols, const double* ac, std::ptrdiff_t ld, const Packed<double>& h,
                        double* w) {
  for (int r = 0; r < cols * me; ++r) w[r] = 0.0;
  const int per = std::min(cols, 4);  // right-hand sides per kernel call
  int t = 1;
  for (; t + 3 <= me; t += 4) {  // rows t..t+2 have fewer of the four columns' terms
    double e[4 * kMaxColumns];
    for (int i = 0; i < cols; ++i)
      for (int q = 0; q < 4; ++q) e[4 * i + q] = ac[i + (t + q - 1) * ld];
    for (int r = t; r <= t + 2; ++r) {
      for (int q = 0; q <= r - t; ++q) {
        const double hrq = h(r, t + q);
        for (int i = 0; i < cols; ++i) w[i * me + r - 1] += hrq * e[4 * i + q];
      }
    }
    const double* x[4] = {h.column(t) + 3, h.column(t + 1) + 2, h.column(t + 2) + 1, h.column(t + 3)};
    double* y[kMaxColumns];
    for (int i = 0; i < cols; ++i) y[i] = w + i * me + (t + 2);
    for (int i = 0; i < cols; i += 4) add_products4(y + i, per, x, e + 4 * i, me - t - 2);
  }
  for (; t <= me; ++t)
    for (int i = 0; i < cols; ++i)
      add_scaled(w + i * me + (t - 1), h.column(t), ac[i + (t - 1) * ld], me - t + 1);
  for (int t0 = 2; t0 <= me; t0 += kRowBlock) {
    const int t1 = std::min(me, t0 + kRowBlock - 1);
    if (cols >= 4) {
      upper_terms_quads(me, cols / 4, t0, t1, ac, ld, h, w);
      continue;
    }
    for (int i = 0; i < cols; ++i) {  // the block of H is reread from cache for the later rows
      double e[kRowBlock];
      for (int u = t0; u <= t1; ++u) e[u - t0] = ac[i + (u - 1) * ld];
      double* const wi = w + i * me;
      int r = 1;
      for (; r + 3 < t1; r += 4) add_column_terms4(r, t0, t1, h, e, wi);  // four chains at once
      for (; r < t1; ++r) add_upper_terms(r, t0, t1, h, e, 1, wi[r - 1]);
    }
  }
}

// The updates of column c from the sums of rows lo..hi: H(c, q) -= s2 for q < c (except q in
// skip..c-1), H(q, c) = (H(q, c) + s1) - s2 for q >= c (2 s2 on the diagonal).
void apply_column(int c, int lo, int hi, int skip, const Packed<double>& h, const double* s1,
                  const double* s2) {
  for (int q = lo; q <= hi; ++q) {
    if (q >= skip && q < c) continue;
    if (q < c) {
      h(c, q) -= s2[q - lo];
    } else {
      double& hq = h(q, c);
      hq = (hq + s1[q - lo]) - (q == c ? s2[q - lo] * 2.0 : s2[q - lo]);
    }
  }
}

// G(c) loses (E G_B)(c).
void reduce_linear_term(int c, int me, const Mat1<double>& a, const Vec1<double>& g) {
  const double* const ac = a.data() + (c - 1);
  double s = 0.0;
  for (int t = 0; t < me; ++t) s += g.data()[t] * ac[t * a.ld()];
  g(c) -= s;
}

// The sums of rows lo..hi for columns c..c+cols-1 (s2: E H_BF, s1: E H_BB E' from q >= c; the sums of
// column c+i at s2 + i kSumRows and s1 + i kSumRows, cols <= kMaxColumns), four columns of E at a
// time.
void column_sums(int nq, int me, int c, int cols, int lo, int hi, const Mat1<double>& a,
                 const Packed<double>& h, const double* w, double* s2, double* s1) {
  const int from = std::max(lo, c);
  const int before = std::min(hi, from - 1) - lo + 1, after = hi - from + 1, off = from - lo;
  const double* hct = h.data() + (c - 1);  // H(c + i, t) at hct[i] across the columns t <= ME
  // H(c, t) lies in a new cache line for every t, at a stride the hardware cannot predict.
  const double* ahead = hct;
  int t_ahead = 1;
  for (; t_ahead <= std::min(me, kPrefetchAhead); ahead += nq - t_ahead, ++t_ahead) {
  }
  const auto next_t = [&](int t) {
    hct += nq - t;
    if (t_ahead > me) return;
    __builtin_prefetch(ahead);
    ahead += nq - t_ahead++;
  };
  double* yb[kMaxColumns];
  double* ya[2 * kMaxColumns];  // per four columns: their four s2, then their four s1
  for (int i = 0; i < cols; ++i) {
    yb[i] = s2 + i * kSumRows;
    ya[i / 4 * 8 + i % 4] = s2 + i * kSumRows + off;
    ya[i / 4 * 8 + 4 + i % 4] = s1 + i * kSumRows + off;
  }
  const int per = std::min(cols, 4);  // columns per kernel call
  int t = 1;
  for (; t + 3 <= me; t += 4) {                       // each sum's terms still in increasing t
    double ch[4 * kMaxColumns], cw[4 * kMaxColumns];  // H(c + i, t + q) and WA(t + q + i ME) at [4 i + q]
    const double* x[4];
    for (int q = 0; q < 4; next_t(t + q), ++q) {
      x[q] = a.column(t + q).data() + (lo - 1);
      for (int i = 0; i < cols; ++i) {
        ch[4 * i + q] = hct[i];
        cw[4 * i + q] = w[i * me + t + q - 1];
      }
    }
    const double* xa[4] = {x[0] + off, x[1] + off, x[2] + off, x[3] + off};
    for (int i = 0; i < cols; i += 4) {
      if (before > 0) add_products4(yb + i, per, x, ch + 4 * i, before);
      if (after > 0) {
        add_products4(ya + 2 * i, per, xa, ch + 4 * i, after);
        add_products4(ya + 2 * i + 4, per, xa, cw + 4 * i, after);
      }
    }
  }
  for (; t <= me; next_t(t), ++t) {
    const double* et = a.column(t).data() + (lo - 1);  // E(q, t), q = lo..hi
    for (int i = 0; i < cols; ++i) {
      if (before > 0) add_scaled(yb[i], et, hct[i], before);
      if (after > 0)
        add_scaled_twice(ya[i / 4 * 8 + i % 4], hct[i], ya[i / 4 * 8 + 4 + i % 4], w[i * me + t - 1],
                         et + off, after);
    }
  }
}

// Columns c..c+cols-1 (cols = 1, 2 or 4k <= kMaxColumns) from one pass over E and H_BB. Column c + i's share
// of H(c + i, c + j), j < i, waits until column c + j has updated that element, as one column at a time.
void reduce_columns(int nq, int me, int c, int cols, const Mat1<double>& a, const Packed<double>& h,
                    double* w) {
  hessian_times_rows(me, cols, a.data() + (c - 1), a.ld(), h, w);
  double deferred[kMaxColumns][kMaxColumns] = {};
  for (int lo = me + 1; lo <= nq; lo += kSumRows) {
    const int hi = std::min(nq, lo + kSumRows - 1);
    double s2[kMaxColumns * kSumRows] = {}, s1[kMaxColumns * kSumRows] = {};
    column_sums(nq, me, c, cols, lo, hi, a, h, w, s2, s1);
    for (int i = 0; i < cols; ++i) {
      const double* s2i = s2 + i * kSumRows;
      for (int j = 0; j < i; ++j)
        if (c + j >= lo && c + j <= hi) deferred[i][j] = s2i[c + j - lo];
      apply_column(c + i, lo, hi, c, h, s1 + i * kSumRows, s2i);
    }
  }
  for (int i = 1; i < cols; ++i)
    for (int j = 0; j < i; ++j) h(c + i, c + j) -= deferred[i][j];
}

// reduce_hessian for any size: per column c (16, 8, 4 or 2 at a time where WA's room of lwa doubles
// holds as many rows of H_BB E'), the sums s2 (rows q > ME) and s1 (rows q >= c) of a block of rows
// at a time, down the columns of E.
void reduce_hessian_blocked(int nq, int me, long long lwa, const Mat1<double>& a, const Vec1<double>& g,
                            const Packed<double>& h, double* w) {
  for (int c = me + 1; c <= nq;) {
    if (cancellation_requested()) return;
    int cols = 1;
    for (const int wide : {kMaxColumns, 8, 4, 2}) {
      if (c + wide - 1 <= nq && 1LL * wide * me <= lwa) {
        cols = wide;
        break;
      }
    }
    reduce_columns(nq, me, c, cols, a, h, w);
    for (int i = 0; i < cols; ++i) reduce_linear_term(c + i, me, a, g);
    c += cols;
  }
}

template <int kNQ>
void reduce_hessian(int nq_given, int me, long long lwa, const Mat1<double>& a, const Vec1<double>& g,
                    const Packed<double>& h, const Vec1<double>& wa) {
  if constexpr (kNQ == 0) return reduce_hessian_blocked(nq_given, me, lwa, a, g, h, wa.data());
  const int nq = kNQ > 0 ? kNQ : nq_given;
  const std::ptrdiff_t ld = a.ld();
  double* const w = wa.data();
  const double* const gb = g.data();
  double* hcc = h.column(me + 1);  // H(c, c), column c running below it
  for (int c = me + 1; c <= nq; hcc += nq - c + 1, ++c) {
    const double* const ac = a.data() + (c - 1);  // A(c, t+1) at ac[t ld]
    for (int r = 1; r <= me; ++r) {
      double s = 0.0;
      for (int t = 1; t <= me; ++t) s += h.sym(r, t) * ac[(t - 1) * ld];
      w[r - 1] = s;
    }
    double* hqc = h.column(me + 1) + (c - me - 1);  // H(c, q) above the diagonal, q = ME+1..c-1
    for (int q = me + 1; q <= nq; ++q) {
      const double* const aq = a.data() + (q - 1);  // E(q, t+1) = A(q, t+1) at aq[t ld]
      const double* hct = h.data() + (c - 1);       // H(c, t) across the columns t <= ME
      double s2 = 0.0;
      for (int t = 0; t < me; hct += nq - t - 1, ++t) s2 += aq[t * ld] * *hct;
      if (q < c) {
        *hqc -= s2;
        hqc += nq - q;
        continue;
      }
      double s1 = 0.0;
      for (int t = 0; t < me; ++t) s1 += aq[t * ld] * w[t];
      double& hq = hcc[q - c];
      hq = (hq + s1) - (q == c ? s2 * 2.0 : s2);
    }
    double s = 0.0;
    for (int t = 0; t < me; ++t) s += gb[t] * ac[t * ld];
    g(c) -= s;
  }
}

// ---- Several exchange steps per pass over the equality columns (any size, given room for the reaches)
//
// The steps k..k+b-1 (b <= kGroup) are taken one after the other, each on its column brought up to
// date with the group's steps before it; the other equality columns then receive all b steps in one
// pass, each element its terms in the order single steps give them, so results are bitwise those of
// one step at a time. Step k+m (m >= 1) must first clear the residues of its column against row
// reaches over columns that have not yet received the group's steps. Instead, bounds carried from the
// exact reaches and growth at the group's start show that no entry of the column lies within its
// rounding bound, so the clearing would change nothing; where one might, the group ends before that
// step and the column is cleared exactly after the pass. The pass computes the exact reaches and
// growth of the next group's first step.

constexpr int kGroup = 8;
// Columns a pass takes down each block of rows before the next block.
constexpr int kChunk = 16;
// Per carried step, a bound grows by this factor beyond the triangle inequality, well above the
// relative rounding (a few eps) of the step and of the bound's own arithmetic.
constexpr double kBoundSlack = 1e-12;
// A rounded sum of K terms exceeds the exact one by at most about K eps: the carried bounds must exceed
// an entry by this factor to rule its clearing out.
constexpr double kBoundMargin = 1.001;
// Near the underflow threshold rounding errors are absolute, not relative: entries below this size are
// never ruled out by the carried bounds (the exact clearing decides).
constexpr double kBoundFloor = 1e-290;

// The steps a column receives from its group: the pivot columns of the steps whose multiplier is not
// zero with their multipliers, and the column's pivot rows as the steps leave them.
struct ColumnSteps {
  const double* x[kGroup];
  double t[kGroup];
  double row[kGroup];
  int count;
};

// The multipliers t_s = -(row k+s after the steps before s), then the pivot rows.
void group_multipliers(const double* aj, int k, int from, int to, const Mat1<double>& a, ColumnSteps& cs) {
  const double* p[kGroup];
  double t[kGroup];
  double* const row = cs.row;
  for (int s = from; s < to; ++s) {
    p[s] = col(a, k + s);
    row[s] = aj[k + s - 1];
  }
  for (int s = from; s < to; ++s) {
    double x = row[s];
    for (int u = from; u < s; ++u)
      if (t[u] != 0.0) x += p[u][k + s - 1] * t[u];
    t[s] = -x;
  }
  for (int s = from; s < to; ++s) {
    double x = row[s];
    for (int u = from; u < to; ++u) {
      if (t[u] != 0.0) x = u == s ? p[u][k + s - 1] * t[u] : x + p[u][k + s - 1] * t[u];
    }
    row[s] = x;
  }
  cs.count = 0;
  for (int s = from; s < to; ++s) {
    if (t[s] == 0.0) continue;
    cs.x[cs.count] = p[s];
    cs.t[cs.count++] = t[s];
  }
}

// Rows lo..lo+len-1 (0-based) of column aj receive the steps.
void apply_steps_to_block(double* aj, const ColumnSteps& cs, int lo, int len) {
  for (int first = 0; first < cs.count; first += 4) {
    const double* xb[4];
    const int c4 = std::min(4, cs.count - first);
    for (int u = 0; u < c4; ++u) xb[u] = cs.x[first + u] + lo;
    add_scaled_each(aj + lo, xb, cs.t + first, c4, len);
  }
}

void write_pivot_rows(double* aj, int k, int from, int to, const ColumnSteps& cs) {
  for (int s = from; s < to; ++s) aj[k + s - 1] = cs.row[s];
}

// Column aj receives steps k+from..k+to-1, pivot column k+s holding step s's scaled column (with its
// pivot inverse in row k+s): the multipliers first, then one pass over all rows, then the pivot rows as
// single steps leave them (piv * t_s at step s; where t_s is 0, step s leaves the column alone).
void apply_group_steps(double* aj, int nq, int k, int from, int to, const Mat1<double>& a) {
  if (from >= to) return;
  ColumnSteps cs;
  group_multipliers(aj, k, from, to, a, cs);
  for (int lo = 0; lo < nq; lo += kRowBlock)  // a block of the column stays cached between its kernels
    apply_steps_to_block(aj, cs, lo, std::min(kRowBlock, nq - lo));
  write_pivot_rows(aj, k, from, to, cs);
}

// The sums of step next's clearing, as clear_column_residues forms them: reach[i-1] = r(i) for rows
// i >= next, and the growth K, from columns 1..next-1. Exact after a pass; upper bounds while carried
// through a group.
struct Reaches {
  double* reach;
  double growth;
};

void start_reaches(int nq, int next, const Vec1<double>& size, Reaches& r) {
  for (int i = next; i <= nq; ++i) r.reach[i - 1] = size(i);
}

void add_to_reaches(int nq, int next, int j, const Mat1<double>& a, const Vec1<double>& size, Reaches& r) {
  if (nq >= next) add_abs_scaled(r.reach + (next - 1), col(a, j) + (next - 1), size(j), nq - next + 1);
}

void prefetch_for_write(const double* x, int n) {
  for (int i = 0; i < n; i += 8) __builtin_prefetch(x + i, 1);  // one request per 64-byte line
}

// Columns j0..j1 receive the group's steps a chunk of columns at a time down blocks of rows, so that
// the pivot columns' block stays in the first-level cache across the chunk (each column's next block
// asked for ahead: the stride between them defeats the hardware's guess). With reaches, rows >= next of
// each column are added to them, each row's terms in increasing column order.
void pass_columns(int nq, int k, int b, int j0, int j1, const Mat1<double>& a, const Vec1<double>& size,
                  Reaches* r, int next) {
  for (int c0 = j0; c0 <= j1; c0 += kChunk) {
    const int c1 = std::min(j1, c0 + kChunk - 1);
    ColumnSteps cs[kChunk];
    for (int j = c0; j <= c1; ++j) group_multipliers(col(a, j), k, 0, b, a, cs[j - c0]);
    for (int lo = 0; lo < nq; lo += kRowBlock) {
      const int len = std::min(kRowBlock, nq - lo);
      for (int j = c0; j <= c1; ++j) {
        double* const aj = col(a, j);
        if (j < c1)
          prefetch_for_write(col(a, j + 1) + lo, len);
        else if (lo + kRowBlock < nq)
          prefetch_for_write(col(a, c0) + lo + kRowBlock, std::min(kRowBlock, nq - lo - kRowBlock));
        apply_steps_to_block(aj, cs[j - c0], lo, len);
        const int from = std::max(lo, next - 1);
        if (r && from < lo + len) add_abs_scaled(r->reach + from, aj + from, size(j), lo + len - from);
      }
    }
    for (int j = c0; j <= c1; ++j) write_pivot_rows(col(a, j), k, 0, b, cs[j - c0]);
  }
}

// The pass of the group k..k+b-1 over equality columns 1..me; column k+b is skipped where it is
// current already. Columns before k+b are added to the reaches in increasing order, the group's own
// last, each after its later steps (the group's pivot columns stay as their steps left them until then).
void group_pass(int nq, int me, int k, int b, bool next_current, const Mat1<double>& a,
                const Vec1<double>& size, Reaches& r) {
  const int next = k + b;
  const bool sums = next <= me;  // after the last step, clear_elimination_residues forms its own
  if (sums) start_reaches(nq, next, size, r);
  pass_columns(nq, k, b, 1, k - 1, a, size, sums ? &r : nullptr, next);
  pass_columns(nq, k, b, next + (next_current ? 1 : 0), me, a, size, nullptr, next);
  for (int m = 0; m < b; ++m) {
    apply_group_steps(col(a, k + m), nq, k, m + 1, b, a);
    if (sums) add_to_reaches(nq, next, k + m, a, size, r);
  }
  if (sums) r.growth = inverse_growth<0>(next, a, size);
}

// Column k's residues cleared against exact reaches (clear_column_residues with its sums given).
void clear_residues_from(int nq, int k, const Mat1<double>& a, const Reaches& r) {
  if (k == 1) return;
  const double gamma = residue_gamma(k - 1);
  for (int i = k; i <= nq; ++i) {
    if (a(i, k) != 0.0 && is_residue(a(i, k), gamma * r.reach[i - 1] * r.growth)) a(i, k) = 0.0;
  }
}

// True when no entry of column k (rows k..nq) can lie within its rounding bound, by carried bounds.
bool residues_ruled_out(int nq, int k, const Mat1<double>& a, const Reaches& bound) {
  const double gamma = residue_gamma(k - 1) * bound.growth * kBoundMargin;
  const double* ak = col(a, k);
  for (int i = k; i <= nq; ++i) {
    const double x = ak[i - 1];
    if (x != 0.0 && !(std::fabs(x) > gamma * bound.reach[i - 1] + kBoundFloor)) return false;
  }
  return true;
}

// After step k (its column scaled), the bounds of step k+1 from those of step k: an entry of row i
// gains at most |P(i)| times row k's entries, so r(i) <= r(i) + |P(i)| r(k), and the inverse's columns
// gain at most |their row k entry| times the size of column k's rows 1..k.
void carry_bounds(int nq, int k, const Mat1<double>& a, Reaches& bound) {
  const double* pk = col(a, k);
  const double rk = bound.reach[k - 1];
  for (int i = k + 1; i <= nq; ++i)
    bound.reach[i - 1] = (bound.reach[i - 1] + std::fabs(pk[i - 1]) * rk) * (1.0 + kBoundSlack);
  double top = 0.0;
  for (int u = 0; u < k; ++u) top += std::fabs(pk[u]);
  bound.growth = (bound.growth + top * rk) * (1.0 + kBoundSlack);
}

// The elimination steps one at a time; IR: the steps completed (ME when all were).
template <int kNQ>
void eliminate_single(const Problem& q, int& IR) {
  const int nq = kNQ > 0 ? kNQ : q.nq;
  for (int k = 1; k <= q.me; ++k) {
    IR = k - 1;
    if (kNQ == 0 && cancellation_requested()) return;
    clear_column_residues<kNQ>(nq, k, q.a, q.wa);
    if (!take_pivot<kNQ>(q, k, nullptr)) return;  // dependent equality constraints (or more than variables)
    exchange<kNQ>(nq, q.me, k, q.a);
  }
  IR = q.me;
}

// The elimination steps in groups (reach: NQ doubles of work); IR as single steps leave it.
void eliminate_grouped(const Problem& q, int& IR, double* reach) {
  Reaches r{reach, 1.0};  // the growth before the first step
  start_reaches(q.nq, 1, q.wa, r);
  for (int k = 1; k <= q.me;) {
    IR = k - 1;
    if (cancellation_requested()) return;
    clear_residues_from(q.nq, k, q.a, r);
    int b = 0;
    bool next_current = false, dependent = false;
    for (;;) {
      const int step = k + b;
      if (b > 0) {
        apply_group_steps(col(q.a, step), q.nq, k, 0, b, q.a);
        next_current = true;
        if (!residues_ruled_out(q.nq, step, q.a, r)) break;
      }
      if (!take_pivot<0>(q, step, r.reach)) {
        dependent = true;
        break;
      }
      scale_pivot_column(q.nq, step, q.a);
      ++b;
      next_current = false;
      if (b == kGroup || k + b > q.me) break;
      carry_bounds(q.nq, step, q.a, r);
    }
    if (b > 0) group_pass(q.nq, q.me, k, b, next_current, q.a, q.wa, r);
    k += b;
    if (dependent) {
      IR = k - 1;
      return;
    }
  }
  IR = q.me;
}

}  // namespace

namespace detail {

template <int kNQ>
void qpredu_sized(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H,
                  double* DL, double* DU, double* WA, int IPRINT, long long LWA) {
  IR = 0;
  if (ME <= 0) return;
  const int nq = kNQ > 0 ? kNQ : NQ;
  const Problem q{nq,
                  M,
                  ME,
                  Mat1<double>(A, LCN),
                  Vec1<double>(G),
                  Vec1<double>(DL),
                  Vec1<double>(DU),
                  Vec1<double>(WA),
                  Vec1<int>(IWA),
                  Packed<double>(H, nq),
                  IPRINT};
  const Mat1<double>& a = q.a;
  const Vec1<double>&g = q.g, &wa = q.wa;
  const Packed<double>& h = q.h;

  // Row sizes: the largest coefficient of each variable (the pivot ratios use at least 0.01).
  row_sizes<kNQ>(nq, M, a, WA);

  if (kNQ == 0 && LWA >= 2LL * nq) {
    eliminate_grouped(q, IR, WA + nq);
  } else {
    eliminate_single<kNQ>(q, IR);
  }
  if (IR < ME) return;  // dependent equalities, or a cancellation that QPSUB answers
  if (ME + 1 > nq) return;

  clear_elimination_residues<kNQ>(nq, ME, a, wa);
  reduce_inequalities<kNQ>(nq, M, ME, a, wa);
  reduce_hessian<kNQ>(nq, ME, LWA, a, g, h, wa);
}

// The instances: any size (0) and every fixed size up to kLargestFixedSize + 1.
static_assert(kLargestFixedSize + 1 == 9, "one instance per fixed size below");
template void qpredu_sized<0>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<1>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<2>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<3>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<4>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<5>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<6>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<7>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<8>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);
template void qpredu_sized<9>(int, int, int, int, int&, int*, double*, double*, double*, double*, double*,
                              double*, int, long long);

}  // namespace detail

void QPREDU(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H, double* DL,
            double* DU, double* WA, int IPRINT) {
  detail::qpredu_sized<0>(NQ, LCN, M, ME, IR, IWA, A, G, H, DL, DU, WA, IPRINT, NQ);
}

}  // namespace vek::qp
