// QPSUB: solves one QP subproblem of the SQP iteration (contract in QPSUB.h).
//
// Steps: check the workspace; add the relaxation variable D(NQ) (objective term and the constraint
// column); bring every constraint to the form value >= 0 and move the equalities to the front by a
// two-pointer exchange; eliminate them (QPREDU); solve the rest with QPACT or QPACTR; recover the
// eliminated variables and equality multipliers (QPBACK); put the multipliers back into the caller's
// order and sense.
//
// The exchange of step 3 depends on the constraint kinds alone (each position keeps its kind), so its
// pairs are recomputed when the multipliers go back instead of being stored: KTYPE is never written,
// any M works, and KTYPE is as the caller gave it on every return, the failures included.
//
// Failure codes (QPFAIL), messages on unit 7 when IPRINT >= 0:
//   1 workspace too small (nothing changed), "  *** QPSUB ERROR: THE MINIMUM STORAGE FOR IWA AND WA"
//   2 equality constraints linearly dependent, "  *** QPSUB ERROR: EQUALITY CONSTRAINTS ARE LINEARLY";
//     A, C, G, H, DL, DU are left partly transformed, D and U are not set
//   3 the active-set routine stopped at its pass limit; D, U, DL, DU describe its last iterate
//   4 inconsistent sizes or kinds (NQ < 1, M < 0, ME outside 0..M, LCN < NQ, a kind outside -1..1,
//     or ME differing from the number of zero kinds); nothing changed, no message
//   6 a non-finite value in the reduced problem or in the results (non-finite data, or an overflow,
//     e.g. from a tiny pivot), "  *** QPSUB ERROR: NON-FINITE VALUE IN THE SUBPROBLEM"; D, U, DL, DU
//     are set to zero. So no non-finite D or U ever comes back with code 0.
#include "qp/QPSUB.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "io/layout.h"
#include "qp/QPACT.h"
#include "qp/QPACTR.h"
#include "qp/QPBACK.h"
#include "qp/QPREDU.h"
#include "qp/active_set.h"
#include "qp/cancellation.h"
#include "qp/views.h"

namespace vek::qp {
namespace {

// The relaxation variable's linear term: at least 100 times the largest gradient entry, and never
// weaker than -1e5, so that it is pushed firmly towards its upper bound 1.
constexpr double kRelaxationFloor = 100000.0;

// The pieces of IWA and WA that the active-set routine gets, computed once from the sizes.
struct Workspace {
  int *iact, *ibnd, *ielb, *iine;
  double *gd, *w, *se, *si, *fe, *fi, *q, *t;
};

Workspace chop(int nq, int m, int me, int* iwa, double* wa) {
  const int nr = nq - me;
  const std::int64_t nr2 = static_cast<std::int64_t>(nr) * nr;
  Workspace ws{};
  ws.iact = iwa + me;
  ws.ibnd = iwa + nq;
  ws.ielb = iwa + nq + nr;
  ws.iine = iwa + 2 * nq;
  ws.gd = wa;
  ws.w = wa + nr;
  ws.se = wa + 2 * nr;
  ws.si = wa + 2 * nr + me;
  ws.fe = wa + 2 * nr + m;
  ws.fi = wa + 2 * nr + m + me;
  ws.q = wa + 2 * nr + 2 * m;
  ws.t = wa + nr2 + 2 * nr + 2 * m;
  return ws;
}

bool arguments_consistent(int nq, int lcn, int m, int me, const int* ktype) {
  if (nq < 1 || m < 0 || me < 0 || me > m || lcn < nq) return false;
  int zeros = 0;
  for (int j = 0; j < m; ++j) {
    if (ktype[j] < -1 || ktype[j] > 1) return false;
    if (ktype[j] == 0) ++zeros;
  }
  return zeros == me;
}

void report_storage(long long liwa_min, long long lwa_min) {
  io::Formatted(io::kListingUnit)
      .slash()
      .slash()
      .text("  *** QPSUB ERROR: THE MINIMUM STORAGE FOR IWA AND WA")
      .slash()
      .x(19)
      .text("ARE")
      .i(6, liwa_min)
      .text("  AND")
      .i(6, lwa_min)
      .text("  RESPECTIVELY")
      .slash()
      .end();
}

void report_dependent(int ir) {
  io::Formatted(io::kListingUnit)
      .slash()
      .slash()
      .text("  *** QPSUB ERROR: EQUALITY CONSTRAINTS ARE LINEARLY")
      .slash()
      .x(19)
      .text("DEPENDENT,  IR =")
      .i(4, ir)
      .slash()
      .end();
}

void report_non_finite() {
  io::Formatted(io::kListingUnit)
      .slash()
      .slash()
      .text("  *** QPSUB ERROR: NON-FINITE VALUE IN THE SUBPROBLEM")
      .slash()
      .end();
}

// A double is not finite exactly when its exponent bits are all ones: one pass over the bits, without
// a branch or a floating-point dependence per element.
bool all_finite(const double* x, std::int64_t n) {
  constexpr std::uint64_t kExponent = 0x7ff0000000000000u;
  std::uint64_t bad = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, x + i, sizeof bits);
    bad |= (bits & kExponent) == kExponent;
  }
  return bad == 0;
}

// The problem handed to the active-set routine (the reduced Hessian, linear term, constant terms, and
// the elimination and inequality rows in the free variables) holds only finite values.
bool reduced_problem_finite(int nq, int lcn, int m, int me, const double* a, const double* c, const double* g,
                            const double* hr) {
  const int nr = nq - me;
  for (int j = 0; j < m; ++j)
    if (!all_finite(a + static_cast<std::int64_t>(j) * lcn + me, nr)) return false;
  return all_finite(g + me, nr) && all_finite(c + me, m - me) && all_finite(hr, packed_size(nr));
}

void clear_outputs(int nq, int m, double* d, double* u, double* dl, double* du) {
  std::fill(d, d + nq, 0.0);
  std::fill(u, u + m, 0.0);
  std::fill(dl, dl + nq, 0.0);
  std::fill(du, du + nq, 0.0);
}

// Code 6: D, U, DL and DU are set to zero, so that nothing non-finite leaves QPSUB.
void fail_non_finite(int nq, int m, double* d, double* u, double* dl, double* du, int iprint, int& qpfail) {
  clear_outputs(nq, m, d, u, dl, du);
  if (iprint >= 0) report_non_finite();
  qpfail = 6;
}

// Code 7: the caller's cancellation request cut the solve short; nothing of it is kept.
void cancel(int nq, int m, double* d, double* u, double* dl, double* du, int& qpfail) {
  clear_outputs(nq, m, d, u, dl, du);
  qpfail = 7;
}

void report_pass_limit(int passes) {
  io::Formatted(io::kListingUnit)
      .slash()
      .slash()
      .text("  *** QPSUB ERROR: ACTIVE SET ITERATION STOPPED AFTER")
      .i(6, passes)
      .text("  PASSES")
      .slash()
      .end();
}

// Relaxation variable in the objective: row and column NQ of H, and G(NQ).
void relax_objective(int nq, const Vec1<double>& g, const Packed<double>& h) {
  double gmax = 0.0;
  for (int i = 1; i <= nq - 1; ++i) gmax = std::max(gmax, std::fabs(g(i)));
  double* hi = h.data() + (nq - 1);  // H(NQ, i), the last of column i: H(NQ, i+1) nq-i places further
  for (int i = 1; i <= nq - 1; hi += nq - i, ++i) *hi = 0.0;
  *hi = 1.0;
  g(nq) = -std::max(100.0 * gmax, kRelaxationFloor);
}

// Every constraint to the form value >= 0, with the relaxation variable's coefficient in row NQ:
// D = 0 then satisfies all of them, and D(NQ) = 1 gives back the caller's linearisation.
void relax_constraints(int nq, int m, const Vec1<const int>& kind, const Vec1<double>& c,
                       const Mat1<double>& a) {
  for (int j = 1; j <= m; ++j) {
    if (kind(j) == 0) {
      a(nq, j) = c(j);
      c(j) = 0.0;
      continue;
    }
    if (kind(j) == -1) {
      for (int i = 1; i <= nq - 1; ++i) a(i, j) = -a(i, j);
      c(j) = -c(j);
    }
    a(nq, j) = 0.0;
    if (c(j) <= 0.0) {  // violated or exactly active: the constant moves to the relaxation variable
      a(nq, j) = c(j);
      c(j) = 0.0;
    }
  }
}

// The two-pointer exchange that brings the equalities to the front: calls swap(j, k) for every pair,
// j < k, j an inequality and k an equality position. A function of the kinds alone.
template <class Swap>
void for_each_exchange(int m, const Vec1<const int>& kind, Swap swap) {
  int k = m + 1;
  for (int j = 1; j <= m && j < k; ++j) {
    if (kind(j) == 0) continue;
    do {
      --k;
    } while (k > j && kind(k) != 0);
    if (k <= j) return;
    swap(j, k);
  }
}

// The work of QPSUB once the arguments are known to be consistent, for NQ = kNQ (kNQ > 0) or any NQ.
template <int kNQ>
void solve_sized(int NQ_given, int LCN, int M, int ME, int* KTYPE, double* D, double* U, double* DL,
                 double* DU, double* C, double* A, double* G, double* H, int* IWA, double* WA, int LIWA,
                 int LWA, int MODE, int& QPFAIL, int IPRINT) {
  const int NQ = kNQ > 0 ? kNQ : NQ_given;
  const int nr = NQ - ME;
  const int mr = M - ME;
  const long long liwa_min = qpsub_min_liwa(NQ, M, ME);
  const long long lwa_min = qpsub_min_lwa(NQ, M, ME);
  if (LWA < lwa_min || LIWA < liwa_min) {
    if (IPRINT >= 0) report_storage(liwa_min, lwa_min);
    QPFAIL = 1;
    return;
  }

  const Vec1<const int> kind(KTYPE);
  const Vec1<double> c(C), g(G), dl(DL), du(DU), u(U);
  const Mat1<double> a(A, LCN);
  relax_objective(NQ, g, Packed<double>(H, NQ));
  relax_constraints(NQ, M, kind, c, a);
  for_each_exchange(M, kind, [&](int j, int k) {
    std::swap_ranges(a.column(j).data(), a.column(j).data() + NQ, a.column(k).data());
    std::swap(c(j), c(k));
  });
  dl(NQ) = 0.0;
  du(NQ) = 1.0;

  int ir = 0;
  // All of WA is free until the active-set routine takes it (and LWA >= 2 NQ follows from lwa_min).
  detail::qpredu_sized<kNQ>(NQ, LCN, M, ME, ir, IWA, A, G, H, DL, DU, WA, IPRINT, LWA);
  if (kNQ == 0 && cancellation_requested()) return cancel(NQ, M, D, U, DL, DU, QPFAIL);
  if (ir != ME) {
    if (IPRINT >= 0) report_dependent(ir);
    QPFAIL = 2;
    return;
  }

  const Workspace ws = chop(NQ, M, ME, IWA, WA);
  // Addresses of A(ME+1,1) and A(ME+1,ME+1), formed without touching an element (M may be 0).
  double* const ae = A + ME;
  double* const ai = A + ME + static_cast<std::int64_t>(ME) * LCN;
  double* const hr = H + static_cast<std::int64_t>(ME) * (2 * NQ - ME + 1) / 2;
  if (!reduced_problem_finite(NQ, LCN, M, ME, A, C, G, hr)) {
    return fail_non_finite(NQ, M, D, U, DL, DU, IPRINT, QPFAIL);
  }
  int status = 0;
  if (MODE == 1) {
    QPACTR(LCN, nr, ME, mr, ws.iact, ws.ibnd, ws.ielb, ws.iine, D + ME, U, U + ME, DL + ME, DL, DU + ME, DU,
           C + ME, ae, ai, G + ME, hr, ws.gd, ws.w, ws.se, ws.si, ws.fe, ws.fi, ws.q, ws.t, IPRINT, status);
  } else {
    QPACT(LCN, nr, ME, mr, ws.iact, ws.ibnd, ws.ielb, ws.iine, D + ME, U, U + ME, DL + ME, DL, DU + ME, DU,
          C + ME, ae, ai, G + ME, hr, ws.gd, ws.w, ws.se, ws.si, ws.fe, ws.fi, ws.q, ws.t, IPRINT, status);
  }
  if (status == 2) return cancel(NQ, M, D, U, DL, DU, QPFAIL);
  detail::qpback_sized<kNQ>(LCN, NQ, ME, M, IWA, D, U, DL, DU, A, G, H, WA);

  // Multipliers back to the caller's order (the pairs are disjoint, so their order does not matter)
  // and sense (a constraint <= 0 was negated).
  for_each_exchange(M, kind, [&](int j, int k) { std::swap(u(j), u(k)); });
  for (int i = 1; i <= M; ++i)
    if (kind(i) == -1) u(i) = -u(i);

  if (!all_finite(D, NQ) || !all_finite(U, M) || !all_finite(DL, NQ) || !all_finite(DU, NQ)) {
    return fail_non_finite(NQ, M, D, U, DL, DU, IPRINT, QPFAIL);
  }
  if (status != 0) {
    if (IPRINT >= 0) report_pass_limit(qpact_pass_limit(nr, ME, mr));
    QPFAIL = 3;
  }
}

}  // namespace

void QPSUB(int NQ, int LCN, int M, int ME, int* KTYPE, double* D, double* U, double* DL, double* DU,
           double* C, double* A, double* G, double* H, int* IWA, double* WA, int LIWA, int LWA, int MODE,
           int& QPFAIL, int IPRINT) {
  QPFAIL = 0;
  if (!arguments_consistent(NQ, LCN, M, ME, KTYPE)) {
    QPFAIL = 4;
    return;
  }
  // Fixed-size instances up to one more than the active set's largest (NQ = NR + ME), any size beyond.
  with_fixed_size<kLargestFixedSize + 1>(NQ, [&](auto size) {
    solve_sized<decltype(size)::value>(NQ, LCN, M, ME, KTYPE, D, U, DL, DU, C, A, G, H, IWA, WA, LIWA, LWA,
                                       MODE, QPFAIL, IPRINT);
  });
}

}  // namespace vek::qp
