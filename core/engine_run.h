// The engine run of the solve core: the engine's side of a solve, shared by the plug-in's Solve
// operation and the native API, which are thin adapters over these routines and one SolveState each.
//
//   engine_sizes_usable(N, equalities, inequalities, nnz, qp_in_memory)
//       true when the sizes can make the arrays of a SolveState: N >= 1, counts >= 0, and every array and
//       workspace length below 2^31 - 1 (ranges are checked first, so no product overflows).
//   make_engine_arrays(st, N, ME, M, nnz, qp_in_memory)
//       sets N, ME, M, nnz, LCN = N + 1, LWVF = N(N + 9)/2 + 4M + 1 and, with K = N + 1 - ME,
//       LWQP = (3K + 7)K/2 + 4(N + 1) + 6M (the plug-in's lengths; with qp_in_memory LWQP also holds
//       the QP set-up's copies, M + (N + 1)M + (N + 1)(N + 2)/2 more, so no scratch record is written),
//       with elastic_room (and qp_in_memory, M > 0) LWQP also holds the robust strategy's elastic
//       subproblem (engine::elastic_wqp_need); and creates every array of the state filled with zeros (the
//       evaluation record's three arrays included); KTYPE is left all 0. Returns false,
//       with nothing kept, when memory is short (or would be: see engine_memory_bytes). The sizes must
//       be usable.
//   engine_memory_bytes(N, ME, M, nnz, qp_in_memory, elastic_room)
//       the bytes make_engine_arrays allocates for these sizes (computed in 64 bits), which it compares
//       with what the machine has available (io/available_memory.h) before allocating anything.
//   drop_engine_arrays(st)
//       frees every array that make_engine_arrays creates.
//   move_start_into_bounds(st)
//       moves every coordinate of X(1..N) outside [XL, XU] onto its nearer bound (a NaN stays, for the
//       engine to refuse); true when one moved.
//   set_engine_controls(st, records, count)
//       IPRINT (-1 when "PrintLevel" is "Errors Only" in any letter case, else "PrintFreq"), STEP, MAXIT,
//       MAXLS, ACC and MODE from a table of parameter records (a missing record gives its default).
//   transfer_values(st)
//       the evaluation record's values into the engine's arrays as the last cycle flag asks: INF 0 or -1 the
//       objective and C(1..M); INF 0 or -2 G(1..N) and A, rebuilt from the nnz values at the 1-based
//       (jacobian_rows[k], jacobian_cols[k]) of the structure (which must lie within 1..M x 1..N).
//   run_engine(st)
//       one MIRAX call on the state's arrays and its own engine record; then the convergence ratio
//       CVG(1) / CVG(2) x ACC (0 when it would not be a number).
#pragma once

#include <cstdint>

#include "core/parameter_table.h"
#include "core/solve_state.h"

namespace vek::core {

bool engine_sizes_usable(std::int32_t N, std::int32_t equalities, std::int32_t inequalities, std::int32_t nnz,
                         bool qp_in_memory = false, bool elastic_room = false);
bool make_engine_arrays(SolveState& st, std::int32_t N, std::int32_t ME, std::int32_t M, std::int32_t nnz,
                        bool qp_in_memory = false, bool elastic_room = false);
std::uint64_t engine_memory_bytes(std::int32_t N, std::int32_t ME, std::int32_t M, std::int32_t nnz,
                                  bool qp_in_memory = false, bool elastic_room = false);
void drop_engine_arrays(SolveState& st);
bool move_start_into_bounds(SolveState& st);
void set_engine_controls(SolveState& st, const ParameterRecord* records, std::int32_t count);
void transfer_values(SolveState& st);
void run_engine(SolveState& st);

}  // namespace vek::core
