// MIRAX2: QP subproblem set-up with in-memory or scratch-file protection (contract in MIRAX2.h).
#include "engine/MIRAX2.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <string_view>

#include "engine/listing.h"
#include "engine/scratch_units.h"
#include "io/units.h"
#include "qp/QPSUB.h"

namespace vek::engine {

namespace {

// The lengths of WQP's pieces, in 64 bits: the needs may pass the int range; once LWQP covers one, its
// pieces fit in an int.
struct WqpLengths {
  long long liwa, lwa, minimum, in_memory_need;
};

WqpLengths wqp_lengths(int N, int M, int ME) {
  const int NQ = N + 1;
  const long long liwa = qp::qpsub_min_liwa(NQ, M, ME);
  const long long lwa = qp::qpsub_min_lwa(NQ, M, ME);
  const long long minimum = 3LL * NQ + liwa + lwa;
  return {liwa, lwa, minimum,
          minimum + M + static_cast<long long>(NQ) * M + static_cast<long long>(NQ) * (NQ + 1) / 2};
}

bool wqp_fits(int N, int M, int ME, int LWQP, const WqpLengths& l) {
  return N >= 1 && M >= 0 && ME >= 0 && ME <= M && LWQP >= l.minimum;
}

// The pieces of a WQP that fits, built in place: every field written once (no zero fill first, no
// record copied over another).
QpPartition cut_wqp(int N, int M, int ME, double* WQP, int LWQP, const WqpLengths& l) {
  const int NQ = N + 1;
  const int LIWA = static_cast<int>(l.liwa);
  const int LWA = static_cast<int>(l.lwa);
  const bool in_memory = LWQP >= l.in_memory_need;
  double* const iwa = WQP + 3 * NQ;
  double* const wa = iwa + LIWA;
  double* const copies = wa + LWA;  // C, then A (NQ x M), then H
  return QpPartition{
      NQ,
      NQ - ME,
      LIWA,
      LWA,
      l.minimum,
      l.in_memory_need,
      in_memory,
      qp::Vec1<double>(WQP, NQ),
      qp::Vec1<double>(WQP + NQ, NQ),
      qp::Vec1<double>(WQP + 2 * NQ, NQ),
      iwa,
      qp::Vec1<double>(wa, LWA),
      in_memory ? qp::Vec1<double>(copies, M) : qp::Vec1<double>(),
      in_memory ? qp::Mat1<double>(copies + M, NQ) : qp::Mat1<double>(),
      in_memory ? qp::Vec1<double>(copies + M + NQ * M, qp::packed_size(NQ)) : qp::Vec1<double>()};
}

}  // namespace

bool partition_wqp(int N, int M, int ME, double* WQP, int LWQP, QpPartition& p) {
  const WqpLengths lengths = wqp_lengths(N, M, ME);
  if (!wqp_fits(N, M, ME, LWQP, lengths)) return false;
  p = cut_wqp(N, M, ME, WQP, LWQP, lengths);
  return true;
}

namespace {

// Linear term and step bounds. The bounds are clamped to contain 0: the QP starts from D = 0 and
// relies on it being feasible, which a point outside its bounds would break.
void set_linear_term_and_bounds(int N, const QpPartition& p, const double* G, const double* X,
                                const double* XL, const double* XU) {
  for (int i = 1; i <= N; ++i) {
    p.lin(i) = G[i - 1];
    p.dl(i) = std::min(XL[i - 1] - X[i - 1], 0.0);
    p.du(i) = std::max(XU[i - 1] - X[i - 1], 0.0);
  }
}

// Rows 1..N of A are copied; row NQ of the copy is QPSUB's to write (it never reads it first). With
// the leading dimension NQ of the copy (the solve driver's), A is one piece and goes in one copy.
void solve_in_memory(int N, int M, int ME, int* KTYPE, double* C, const qp::Mat1<double>& A, const double* H,
                     double* U, double* D, const QpPartition& p, int MODE, int& QPFAIL, int IPRINT) {
  qp::copy_values(C, M, p.c_copy.data());
  if (A.ld() == p.NQ) {
    qp::copy_values(A.data(), static_cast<std::ptrdiff_t>(p.NQ) * M, p.a_copy.data());
  } else {
    for (int j = 1; j <= M; ++j) qp::copy_values(A.column(j).data(), N, p.a_copy.column(j).data());
  }
  qp::copy_values(H, p.h_copy.size(), p.h_copy.data());
  int* iwa = begin_integer_workspace(p.iwa_storage, p.LIWA);
  qp::QPSUB(p.NQ, p.NQ, M, ME, KTYPE, D, U, p.dl.data(), p.du.data(), p.c_copy.data(), p.a_copy.data(),
            p.lin.data(), p.h_copy.data(), iwa, p.wa.data(), p.LIWA, p.LWA, MODE, QPFAIL, IPRINT);
}

// The record: the whole LCN x M block of A (contiguous, so one piece), then H, then C.
void solve_with_scratch(int unit, std::string_view name, int M, int ME, int* KTYPE, double* C,
                        const qp::Mat1<double>& A, double* H, double* U, double* D, const QpPartition& p,
                        int MODE, int& QPFAIL, int IPRINT) {
  const std::size_t a_count = static_cast<std::size_t>(A.ld()) * static_cast<std::size_t>(M);
  const io::RecordPiece record[3] = {{A.data(), a_count},
                                     {H, static_cast<std::size_t>(qp::packed_size(p.NQ))},
                                     {C, static_cast<std::size_t>(M)}};
  int ierr = 0;
  SCROPS(unit, name, "SCRATCHREWIND", ierr);
  if (io::write_record(unit, record, 3) != 0) {
    QPFAIL = kQpfailNoScratch;  // no copy exists: QPSUB must not destroy the engine's arrays
    return;
  }
  int* iwa = begin_integer_workspace(p.iwa_storage, p.LIWA);
  qp::QPSUB(p.NQ, A.ld(), M, ME, KTYPE, D, U, p.dl.data(), p.du.data(), C, A.data(), p.lin.data(), H, iwa,
            p.wa.data(), p.LIWA, p.LWA, MODE, QPFAIL, IPRINT);
  SCROPS(unit, name, "SCRATCHREWIND", ierr);
  if (io::read_record(unit, record, 3) != 0) QPFAIL = kQpfailNoScratch;
}

}  // namespace

// One placement new per element: the array form may ask for an unspecified amount of extra room.
int* begin_integer_workspace(double* storage, int count) {
  int* const first = ::new (static_cast<void*>(storage)) int(0);
  for (int k = 1; k < count; ++k) ::new (static_cast<void*>(first + k)) int(0);
  return first;
}

void MIRAX2(int N, int M, int ME, int* KTYPE, const double* G, double* C, double* A, int LCN, int& INF,
            int NQ, double* U, double* H, double* D, double* WQP, int LWQP, const double* X, const double* XL,
            const double* XU, int MODE, int& QPFAIL, int IPRINT) {
  const WqpLengths lengths = wqp_lengths(N, M, ME);
  if (NQ != N + 1 || !wqp_fits(N, M, ME, LWQP, lengths)) {
    QPFAIL = 1;
    return;
  }
  const QpPartition p = cut_wqp(N, M, ME, WQP, LWQP, lengths);
  QPFAIL = 0;
  set_linear_term_and_bounds(N, p, G, X, XL, XU);

  char name[15];
  int unit = 0;
  int ierr = 0;
  SCRUNI("OPTIMIZESCRATCH", name, 15, unit);
  const std::string_view scratch_name(name, sizeof name);
  SCROPS(unit, scratch_name, "SCRATCHUNF", ierr);
  const bool scratch_open = ierr == 0;
  if (!scratch_open) listing::scratch_warning(unit);

  const qp::Mat1<double> a(A, LCN);
  if (p.in_memory) {
    solve_in_memory(N, M, ME, KTYPE, C, a, H, U, D, p, MODE, QPFAIL, IPRINT);
  } else if (scratch_open) {
    solve_with_scratch(unit, scratch_name, M, ME, KTYPE, C, a, H, U, D, p, MODE, QPFAIL, IPRINT);
  } else {
    QPFAIL = kQpfailNoScratch;
  }
  // A relaxation variable near zero: the linearised constraints cannot (nearly) be met.
  INF = D[NQ - 1] < 1.0e-4 ? 6 : 0;
  SCROPS(unit, scratch_name, "SCRATCHCLOSE", ierr);
}

}  // namespace vek::engine
