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
//   WA (NQ)    work    row scales
//   IPRINT     in      listing control for the small-pivot warning
// Failure: only through IR < ME (no message here; the arrays are as the completed steps left them).
// A pivot ratio <= 1e-10 is used anyway, after a warning on unit 7 (IPRINT >= 0).
#include "qp/QPREDU.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "io/layout.h"
#include "qp/views.h"

namespace vek::qp {
namespace {

constexpr double kSmallPivot = 1e-10;

// Exchanges variables k < p in the packed symmetric matrix: a symmetric permutation of rows/columns.
void swap_packed(const Packed<double>& h, int n, int k, int p) {
  std::swap(h(k, k), h(p, p));
  for (int i = 1; i <= n; ++i) {
    if (i != k && i != p) std::swap(h.sym(i, k), h.sym(i, p));
  }
}

// Pivot row for column k: the first variable with the largest scaled ratio; 0 when all are zero.
int choose_pivot(int nq, int k, const Mat1<double>& a, const Vec1<double>& scale, double& ratio) {
  int p = 0;
  ratio = 0.0;
  for (int i = k; i <= nq - 1; ++i) {
    const double r = std::fabs(a(i, k)) / scale(i);
    if (r > ratio) {
      ratio = r;
      p = i;
    }
  }
  return p;
}

// One Gauss-Jordan exchange step on the pivot A(k,k) over the equality columns 1..me.
void exchange(int nq, int me, int k, const Mat1<double>& a) {
  const double piv = 1.0 / a(k, k);
  for (int i = 1; i <= nq; ++i) a(i, k) *= piv;
  a(k, k) = piv;
  for (int j = 1; j <= me; ++j) {
    if (j == k) continue;
    const double t = -a(k, j);
    if (t == 0.0) continue;
    for (int i = 1; i <= nq; ++i) a(i, j) += t * a(i, k);
    a(k, j) = piv * t;
  }
}

// Hessian and linear term in the free variables: H_FF - E H_BF - H_FB E' + E H_BB E' and G_F - E G_B.
void reduce_hessian(int nq, int me, const Mat1<double>& a, const Vec1<double>& g, const Packed<double>& h,
                    const Vec1<double>& wa) {
  for (int c = me + 1; c <= nq; ++c) {
    for (int r = 1; r <= me; ++r) {
      double s = 0.0;
      for (int t = 1; t <= me; ++t) s += h.sym(r, t) * a(c, t);
      wa(r) = s;
    }
    for (int q = c; q <= nq; ++q) {
      double s = 0.0;
      for (int t = 1; t <= me; ++t) s += a(q, t) * wa(t);
      h(q, c) += s;
    }
    for (int q = me + 1; q <= nq; ++q) {
      double s = 0.0;
      for (int t = 1; t <= me; ++t) s += a(q, t) * h(c, t);
      if (q == c) s *= 2.0;
      h.sym(q, c) -= s;
    }
    double s = 0.0;
    for (int t = 1; t <= me; ++t) s += g(t) * a(c, t);
    g(c) -= s;
  }
}

}  // namespace

void QPREDU(int NQ, int LCN, int M, int ME, int& IR, int* IWA, double* A, double* G, double* H, double* DL,
            double* DU, double* WA, int IPRINT) {
  IR = 0;
  if (ME <= 0) return;
  const int nq = NQ;
  const Mat1<double> a(A, LCN);
  const Vec1<double> g(G), dl(DL), du(DU), wa(WA);
  const Vec1<int> iwa(IWA);
  const Packed<double> h(H, nq);

  // Row scales: a variable whose coefficients are all small is judged against 0.01.
  for (int i = 1; i <= nq; ++i) {
    double s = 0.01;
    for (int j = 1; j <= M; ++j) s = std::max(s, std::fabs(a(i, j)));
    wa(i) = s;
  }

  for (int k = 1; k <= ME; ++k) {
    IR = k - 1;
    double ratio = 0.0;
    const int p = choose_pivot(nq, k, a, wa, ratio);
    if (p == 0) return;  // dependent equality constraints (or more of them than variables)
    if (ratio <= kSmallPivot && IPRINT >= 0) {
      io::ListDirected(io::kListingUnit).text(" ").end();
      io::ListDirected(io::kListingUnit).text("*** MIRAX, SMALL PIVOT IN \"QPREDU\" = ").num(ratio).end();
    }
    iwa(k) = p;
    if (p != k) {
      wa(p) = wa(k);
      std::swap(dl(p), dl(k));
      std::swap(du(p), du(k));
      for (int j = 1; j <= M; ++j) std::swap(a(p, j), a(k, j));
      std::swap(g(p), g(k));
      swap_packed(h, nq, k, p);
    }
    exchange(nq, ME, k, a);
  }
  IR = ME;
  if (ME + 1 > nq) return;

  // Inequalities in the free variables: substitute each eliminated variable.
  for (int j = ME + 1; j <= M; ++j) {
    for (int i = 1; i <= ME; ++i) {
      const double t = -a(i, j);
      if (t == 0.0) continue;
      for (int l = ME + 1; l <= nq; ++l) a(l, j) += t * a(l, i);
    }
  }
  reduce_hessian(nq, ME, a, g, h, wa);
}

}  // namespace vek::qp
