// Two-sided constraints over the engine's one-sided rows. Contract in api/rows.h.
#include "api/rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "include/talvir/talvir.h"

namespace talvir_api {
namespace {

bool has(double bound, double sign) {
  return sign * bound < TALVIR_INFINITE_BOUND;
}

void add_row(RowMap& map, std::vector<std::int32_t>& kinds, int j, std::int32_t kind, double bound) {
  map.source.push_back(j);
  map.offset.push_back(bound);
  kinds.push_back(kind);
  ++map.count[j];
}

}  // namespace

std::string make_rows(int m, const double* lower, const double* upper, RowMap& map,
                      std::vector<std::int32_t>& kinds) {
  map = RowMap{};
  map.m = m;
  map.first.assign(m, 0);
  map.count.assign(m, 0);
  kinds.clear();
  for (int j = 0; j < m; ++j) {
    const double l = lower[j], u = upper[j];
    if (std::isnan(l) || std::isnan(u) || l > u || l == HUGE_VAL || u == -HUGE_VAL) {
      char text[160];
      std::snprintf(text, sizeof text, "constraint %d has the sides %g <= c <= %g", j, l, u);
      return text;
    }
    map.first[j] = static_cast<int>(map.source.size());
    map.lower.push_back(has(l, -1) ? l : -TALVIR_INFINITE_BOUND);
    map.upper.push_back(has(u, 1) ? u : TALVIR_INFINITE_BOUND);
    if (has(l, -1) && l == u) {
      add_row(map, kinds, j, TALVIR_EQUAL, l);
      continue;
    }
    if (has(l, -1)) add_row(map, kinds, j, TALVIR_GREATER_EQUAL, l);
    if (has(u, 1)) add_row(map, kinds, j, TALVIR_LESS_EQUAL, u);
  }
  map.c.assign(m, 0.0);
  map.handed.assign(m, 0.0);
  return "";
}

int map_structure(RowMap& map, int n, int nnz, const int* rows, const int* cols, std::int32_t* rows1,
                  std::int32_t* cols1) {
  // Made aside first: when memory is short the map stays as it was. The caller's Jacobian array keeps
  // its place (its size depends on m and n only): a caller may hold on to it between solves.
  std::vector<int> user_rows(rows, rows + nnz), user_cols(cols, cols + nnz), entry_source;
  // Engine entries row by row of the caller, the rows of a range one after the other.
  for (int k = 0; k < nnz; ++k)
    for (int r = 0; r < map.count[rows[k]]; ++r) entry_source.push_back(k);
  map.jac.assign(std::max<std::size_t>(static_cast<std::size_t>(map.m) * n, 1), 0.0);
  map.user_rows.swap(user_rows);
  map.user_cols.swap(user_cols);
  map.entry_source.swap(entry_source);
  int e = 0;
  for (int k = 0; k < nnz; ++k) {
    for (int r = 0; r < map.count[rows[k]]; ++r, ++e) {
      rows1[e] = map.first[rows[k]] + r + 1;
      cols1[e] = cols[k] + 1;
    }
  }
  return e;
}

void to_engine(const RowMap& map, double* c, double* jac) {
  if (c != nullptr)
    for (std::size_t r = 0; r < map.source.size(); ++r) c[r] = map.c[map.source[r]] - map.offset[r];
  if (jac != nullptr)
    for (std::size_t e = 0; e < map.entry_source.size(); ++e) jac[e] = map.jac[map.entry_source[e]];
}

void to_caller(const RowMap& map, const double* engine, double* caller) {
  for (int j = 0; j < map.m; ++j) {
    caller[j] = 0.0;
    for (int r = 0; r < map.count[j]; ++r) caller[j] += engine[map.first[j] + r];
  }
}

}  // namespace talvir_api
