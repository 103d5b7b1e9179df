// The engine's side of a solve, shared by the plug-in and the native API (contract in
// core/engine_run.h).
#include "core/engine_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <string_view>
#include <vector>

#include "core/parameter_records.h"
#include "engine/MIRAX.h"
#include "engine/elastic.h"
#include "io/available_memory.h"

namespace vek::core {
namespace {

struct Lengths {
  long long LWVF, LWQP;
};

// Workspace lengths in 64 bits, for sizes already range-checked.
Lengths workspace_lengths(long long N, long long ME, long long M, bool qp_in_memory, bool elastic_room) {
  const long long K = N + 1 - ME, NQ = N + 1;
  Lengths l{N * (N + 9) / 2 + 4 * M + 1, (3 * K + 7) * K / 2 + 4 * NQ + 6 * M};
  if (qp_in_memory) l.LWQP += M + NQ * M + NQ * (NQ + 1) / 2;
  if (qp_in_memory && elastic_room && M > 0)
    l.LWQP += engine::elastic_wqp_need(static_cast<int>(N), static_cast<int>(M), static_cast<int>(ME));
  return l;
}

}  // namespace

void drop_engine_arrays(SolveState& st) {
  EvaluationRecord& e = st.evaluation;
  e.gradient = e.constraints = e.jacobian = {};
  st.D = st.CVG = st.VF = st.WQP = st.X = st.G = st.C = st.A = st.XL = st.XU = {};
  st.KTYPE = {};
  st.reals.reset();
  st.integers.reset();
}

namespace {

// Position of a parameter in the definitions table, found when compiling.
constexpr int definition_index(std::string_view name) {
  for (int k = 0; k < kParameterCount; ++k)
    if (name == kParameterDefinitions[k].name) return k;
  return -1;
}

// The record of definition `k`. A table made by fill_parameter_records holds it at position k, sharing
// the definition's name text, which is checked in place of comparing the name letter by letter (this
// runs at every Solve call); any other table is searched by name.
const ParameterRecord* control_record(const ParameterRecord* records, std::int32_t count, int k) {
  const char* name = kParameterDefinitions[k].name;
  if (k < count && records[k].name == name) return &records[k];
  return find_parameter_in(records, count, name);
}

template <int k>
std::int32_t integer_control(const ParameterRecord* records, std::int32_t count) {
  static_assert(k >= 0 && kParameterDefinitions[k].type == kIntegerParameter);
  const ParameterRecord* r = control_record(records, count, k);
  return r != nullptr ? r->value.integer.value
                      : static_cast<std::int32_t>(kParameterDefinitions[k].default_number);
}

template <int k>
double real_control(const ParameterRecord* records, std::int32_t count) {
  static_assert(k >= 0 && kParameterDefinitions[k].type == kRealParameter);
  const ParameterRecord* r = control_record(records, count, k);
  return r != nullptr ? r->value.real.value : kParameterDefinitions[k].default_number;
}

}  // namespace

bool engine_sizes_usable(std::int32_t N, std::int32_t equalities, std::int32_t inequalities, std::int32_t nnz,
                         bool qp_in_memory, bool elastic_room) {
  // Ranges first, so that the products below cannot overflow: an order of 2^20 is far beyond any
  // workspace that fits a 32-bit length, and then every product stays well inside 64 bits.
  constexpr std::int32_t kLargestOrder = 1 << 20, kLargestCount = 1 << 30;
  const bool in_range = N >= 1 && N <= kLargestOrder && equalities >= 0 && equalities <= kLargestCount &&
                        inequalities >= 0 && inequalities <= kLargestCount && nnz >= 0;
  if (!in_range) return false;
  const long long M = static_cast<long long>(equalities) + inequalities;
  const Lengths l = workspace_lengths(N, equalities, M, qp_in_memory, elastic_room);
  // Every array length must fit a 32-bit length.
  const long long largest = std::max({l.LWVF, l.LWQP, (M + 1) * (N + 2LL), static_cast<long long>(nnz)});
  return largest < (1LL << 31) - 1;
}

std::uint64_t engine_memory_bytes(std::int32_t N, std::int32_t ME, std::int32_t M, std::int32_t nnz,
                                  bool qp_in_memory, bool elastic_room) {
  const long long n = N, m = M;
  const Lengths l = workspace_lengths(n, ME, m, qp_in_memory, elastic_room);
  const long long doubles = 2 * (n + 1) + (m + 2) + std::max((m + 1) * n, 0LL + nnz) + 2 + l.LWVF + l.LWQP +
                            5 * n + (m + 1) + (m + 1) * (n + 2);
  return 8ull * static_cast<std::uint64_t>(doubles) + 4ull * static_cast<std::uint64_t>(m + 1);
}

bool make_engine_arrays(SolveState& st, std::int32_t N, std::int32_t ME, std::int32_t M, std::int32_t nnz,
                        bool qp_in_memory, bool elastic_room) {
  drop_engine_arrays(st);  // arrays of earlier sizes go first: nothing is kept when these cannot be made
  st.N = N;
  st.ME = ME;
  st.M = M;
  st.nnz = nnz;
  st.LCN = N + 1;
  const Lengths l = workspace_lengths(N, ME, M, qp_in_memory, elastic_room);
  st.LWVF = static_cast<std::int32_t>(l.LWVF);  // 2M above the engine's minimum
  st.LWQP = static_cast<std::int32_t>(l.LWQP);  // 3M above it, plus the copies when in memory
  // Refused before anything is allocated: an overcommitting system would not fail the allocation.
  if (io::exceeds_available_memory(
          static_cast<double>(engine_memory_bytes(N, ME, M, nnz, qp_in_memory, elastic_room))))
    return false;
  const std::size_t n = static_cast<std::size_t>(N), m = static_cast<std::size_t>(M);
  const std::size_t lengths[] = {n + 1,
                                 m + 2,
                                 std::max((m + 1) * n, static_cast<std::size_t>(nnz)),
                                 n + 1,
                                 2,
                                 static_cast<std::size_t>(st.LWVF),
                                 static_cast<std::size_t>(st.LWQP),
                                 n,
                                 n,
                                 m + 1,
                                 (m + 1) * (static_cast<std::size_t>(st.LCN) + 1),
                                 n,
                                 n};
  std::size_t total = 0;
  for (const std::size_t length : lengths) {
    if (length > SIZE_MAX / sizeof(double) - total) return false;  // more than a 32-bit system can address
    total += length;
  }
  st.reals.reset(new (std::nothrow) double[total]());
  st.integers.reset(new (std::nothrow) std::int32_t[m + 1]());
  if (!st.reals || !st.integers) {
    drop_engine_arrays(st);  // an allocation failure must not leave the call as an exception
    return false;
  }
  double* next = st.reals.get();
  const std::size_t* length = lengths;
  const auto take = [&] { return take_array(next, *length++); };
  EvaluationRecord& e = st.evaluation;
  e.gradient = take(), e.constraints = take(), e.jacobian = take();
  st.D = take(), st.CVG = take(), st.VF = take(), st.WQP = take();
  st.X = take(), st.G = take(), st.C = take(), st.A = take();
  st.XL = take(), st.XU = take();
  st.KTYPE = Array<std::int32_t>(st.integers.get(), m + 1);
  return true;
}

void set_engine_controls(SolveState& st, const ParameterRecord* records, std::int32_t count) {
  constexpr int kPrintLevel = definition_index("PrintLevel");
  static_assert(kPrintLevel >= 0 && kParameterDefinitions[kPrintLevel].type == kTextParameter);
  const ParameterRecord* level = control_record(records, count, kPrintLevel);
  const bool errors_only =
      level == nullptr ||
      equal_ignoring_case(level->value.text.value, kParameterDefinitions[kPrintLevel].default_text);
  st.IPRINT = errors_only ? -1 : integer_control<definition_index("PrintFreq")>(records, count);
  st.STEP = real_control<definition_index("StepSize")>(records, count);
  st.MAXIT = integer_control<definition_index("MaxIterations")>(records, count);
  st.MAXLS = integer_control<definition_index("MaxLineSearches")>(records, count);
  st.ACC = real_control<definition_index("OptTol")>(records, count);
  st.MODE = integer_control<definition_index("QPMode")>(records, count);
}

bool move_start_into_bounds(SolveState& st) {
  bool moved = false;
  for (std::int32_t i = 0; i < st.N; ++i) {
    const double inside = std::max(st.XL[i], std::min(st.XU[i], st.X[i]));
    if (inside != st.X[i] && !std::isnan(st.X[i])) {
      st.X[i] = inside;
      moved = true;
    }
  }
  return moved;
}

void transfer_values(SolveState& st) {
  const EvaluationRecord& e = st.evaluation;
  if (st.INF == 0 || st.INF == -1) {
    st.F = e.objective;
    std::copy(e.constraints.begin(), e.constraints.begin() + st.M, st.C.begin());
  }
  if (st.INF == 0 || st.INF == -2) {
    std::copy(e.gradient.begin(), e.gradient.begin() + st.N, st.G.begin());
    std::fill(st.A.begin(), st.A.begin() + static_cast<std::size_t>(st.M) * st.LCN, 0.0);
    for (std::int32_t k = 0; k < st.nnz; ++k) {
      // Constraint row[k] is column row[k] of A; variable col[k] its row (both 1-based).
      const std::size_t at =
          static_cast<std::size_t>(st.jacobian_rows[k] - 1) * st.LCN + (st.jacobian_cols[k] - 1);
      st.A[at] = e.jacobian[k];
    }
  }
}

void run_engine(SolveState& st) {
  engine::MIRAX(st.N, st.M, st.KTYPE.data(), st.X.data(), st.F, st.G.data(), st.C.data(), st.A.data(), st.LCN,
                st.MAXIT, st.ACC, st.IPRINT, st.INF, st.VF.data(), st.LWVF, st.WQP.data(), st.LWQP,
                st.XL.data(), st.XU.data(), st.D.data(), st.STEP, st.MODE, st.CVG.data(), st.MAXLS,
                st.engine_state);
  // CVG(1)/CVG(2)·ACC is 0/0 before the engine has formed the sum, and inf·0 with "OptTol" 0.
  const double ratio = st.CVG[1] != 0.0 ? st.CVG[0] / st.CVG[1] * st.ACC : 0.0;
  st.convergence_ratio = std::isnan(ratio) ? 0.0 : ratio;
}

}  // namespace vek::core
