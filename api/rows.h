// Constraints with two sides, as modelling users write them (lower_j <= c_j(x) <= upper_j, either side
// optional), over the engine's one-sided rows. Each caller's row becomes
//   lower = upper             one equality row        c - lower = 0
//   lower finite only         one row                 c - lower >= 0
//   upper finite only         one row                 c - upper <= 0
//   both finite, lower < upper two rows, in the order c - lower >= 0, c - upper <= 0
//   neither                   no row (a free row: its multiplier is 0)
// so the engine's values are the caller's less a bound, and its Jacobian entries the caller's, repeated
// for both rows of a range. The caller's multiplier of a row is the sum of its engine rows' (>= 0 when
// the lower side holds it, <= 0 when the upper does).
//
// make_rows(m, lower, upper, map, kinds)   the engine rows; kinds gets their kinds. "" or why a row is
//                                          refused (NaN, lower > upper, lower = +inf, upper = -inf)
// map_structure(map, n, nnz, rows, cols, rows1, cols1)
//                                          keeps the caller's structure (0-based, already checked) and
//                                          writes the engine's (1-based) with entry_source; returns the
//                                          engine's entries (at most the engine rows times n)
// to_engine(map, c, jac)                   the engine's values and Jacobian entries from the caller's
//                                          (either array null: not made)
// to_caller(map, engine, caller)           per caller's row, the sum of its engine rows' values
//                                          (multipliers); a free row gets 0
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvir_api {

struct RowMap {
  int m = 0;                              // the caller's rows
  std::vector<double> lower, upper;       // per caller's row, +-TALVIR_INFINITE_BOUND for none
  std::vector<int> first, count;          // per caller's row: its first engine row and how many (0..2)
  std::vector<int> source;                // per engine row: the caller's row
  std::vector<double> offset;             // per engine row: the bound it keeps
  std::vector<int> user_rows, user_cols;  // the caller's structure, 0-based
  std::vector<int> entry_source;          // per engine Jacobian entry: the caller's entry
  std::vector<double> c, jac;             // the caller's evaluation arrays (m, and room for m n)
  std::vector<double> handed;             // the caller's values as last handed on (m): c is the caller's to
                                          // write again, also while answering a derivatives request
};

std::string make_rows(int m, const double* lower, const double* upper, RowMap& map,
                      std::vector<std::int32_t>& kinds);
int map_structure(RowMap& map, int n, int nnz, const int* rows, const int* cols, std::int32_t* rows1,
                  std::int32_t* cols1);
void to_engine(const RowMap& map, double* c, double* jac);
void to_caller(const RowMap& map, const double* engine, double* caller);

}  // namespace talvir_api
