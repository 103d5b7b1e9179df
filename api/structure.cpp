// The sparse Jacobian structure of a talvir_solver (contracts in include/talvir/talvir.h): the caller's
// 0-based (constraint, variable) pairs, kept 1-based as the shared transfer to the engine reads them.
#include <algorithm>
#include <vector>

#include "api/solver.h"

using talvir_api::fail;
using talvir_api::guarded;
using talvir_api::succeed;

namespace {

// TALVIR_OK, or the refusal of the first pair out of range.
int check_ranges(const talvir_solver* s, int nnz, const int* rows, const int* cols) {
  for (int k = 0; k < nnz; ++k) {
    if (rows[k] < 0 || rows[k] >= talvir_api::caller_m(*s) || cols[k] < 0 || cols[k] >= s->n) {
      return fail(
          s, TALVIR_ERROR_BAD_VALUE,
          "talvir_set_jacobian_structure: entry %d names constraint %d and variable %d, outside 0..%d and "
          "0..%d",
          k, rows[k], cols[k], talvir_api::caller_m(*s) - 1, s->n - 1);
    }
  }
  return TALVIR_OK;
}

// TALVIR_OK, or the refusal of a pair given twice.
int check_repeats(const talvir_solver* s, int nnz, const int* rows, const int* cols) {
  constexpr int kOnStack = 256;  // a small structure is sorted without allocating
  long long small[kOnStack];
  std::vector<long long> large(nnz > kOnStack ? nnz : 0);
  long long* const keys = nnz > kOnStack ? large.data() : small;
  for (int k = 0; k < nnz; ++k) keys[k] = static_cast<long long>(rows[k]) * s->n + cols[k];
  std::sort(keys, keys + nnz);
  const long long* const repeat = std::adjacent_find(keys, keys + nnz);
  if (repeat == keys + nnz) return TALVIR_OK;
  return fail(
      s, TALVIR_ERROR_BAD_VALUE,
      "talvir_set_jacobian_structure: the pair (constraint %lld, variable %lld) is given more than once",
      *repeat / s->n, *repeat % s->n);
}

}  // namespace

extern "C" {

TALVIR_API int talvir_set_jacobian_structure(talvir_solver* s, int nnz, const int* rows, const int* cols) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  return guarded(s, [&] {
    if (const int refused = talvir_api::refuse_in_listing(s, "talvir_set_jacobian_structure")) return refused;
    if (s->phase == talvir_api::Phase::awaiting) {
      return fail(s, TALVIR_ERROR_OUT_OF_ORDER, "talvir_set_jacobian_structure: a solve is in progress");
    }
    const long long dense = static_cast<long long>(talvir_api::caller_m(*s)) * s->n;
    if (nnz < 0 || nnz > dense) {
      return fail(s, TALVIR_ERROR_BAD_SIZE,
                  "talvir_set_jacobian_structure: nnz = %d is outside 0..m*n = %lld", nnz, dense);
    }
    if (nnz > 0 && (rows == nullptr || cols == nullptr)) {
      return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_set_jacobian_structure: null rows or cols array");
    }
    int status = check_ranges(s, nnz, rows, cols);
    if (status == TALVIR_OK) status = check_repeats(s, nnz, rows, cols);
    if (status != TALVIR_OK) return status;
    // Written into the room of the dense structure (distinct pairs: at most the engine's m n of them).
    std::int32_t* const rows1 = s->rows1.data();
    std::int32_t* const cols1 = s->cols1.data();
    int entries = nnz;
    if (s->rows) {
      entries = talvir_api::map_structure(*s->rows, s->n, nnz, rows, cols, rows1, cols1);
    } else {
      for (int k = 0; k < nnz; ++k) {
        rows1[k] = rows[k] + 1;
        cols1[k] = cols[k] + 1;
      }
    }
    s->rows1 = vek::core::Array<std::int32_t>(rows1, static_cast<std::size_t>(entries));
    s->cols1 = vek::core::Array<std::int32_t>(cols1, static_cast<std::size_t>(entries));
    return succeed(s);
  });
}

TALVIR_API int talvir_get_jacobian_nnz(const talvir_solver* s, int* nnz) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (nnz == nullptr) return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_get_jacobian_nnz: null out-pointer");
  *nnz = talvir_api::caller_nnz(*s);
  return succeed(s);
}

}  // extern "C"
