// Fuzz target: QPSUB on small QPs read from the fuzzer's bytes, with workspaces at their exact minimum
// lengths (so the address sanitizer sees any access past them). Coefficients lie on coarse grids, so
// ties, zero rows, repeated and dependent constraints and fixed variables are frequent.
// Invariants: KTYPE comes back unchanged; the code is 0, 2, 3 or 6; on success (0) the step is finite,
// meets the KKT conditions of the relaxed problem, and its objective is no worse than that of the
// independent brute-force solver over all faces (up to two variables and the relaxation variable).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "qp/QPSUB.h"
#include "qp/qp_testing.h"

namespace {

using qp_testing::ppos;
using talvir_fuzz::FuzzInput;

constexpr double kKktLimit = 1e-7;

// H = L L' + shift I: symmetric positive definite with smallest eigenvalue at least shift.
void read_hessian(FuzzInput& in, qp_testing::Problem& p, int n) {
  std::vector<double> l(static_cast<std::size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) l[i * n + j] = in.grid(-2.0, 2.0, 16);
  const double shift = in.grid(0.1, 2.0, 19);
  p.h.assign(static_cast<std::size_t>(p.nq) * (p.nq + 1) / 2, 0.0);
  for (int j = 1; j <= n; ++j)
    for (int i = j; i <= n; ++i) {
      double s = i == j ? shift : 0.0;
      for (int k = 0; k < n; ++k) s += l[(i - 1) * n + k] * l[(j - 1) * n + k];
      p.h[ppos(i, j, p.nq)] = s;
    }
}

qp_testing::Problem read_problem(FuzzInput& in) {
  qp_testing::Problem p;
  const int n = in.integer(1, 3);
  p.nq = n + 1;
  p.me = in.integer(0, std::min(n, 2));
  p.m = p.me + in.integer(0, 3);
  read_hessian(in, p, n);
  p.g.assign(p.nq, 0.0);
  p.dl.assign(p.nq, 0.0);
  p.du.assign(p.nq, 0.0);
  for (int i = 0; i < n; ++i) {
    p.g[i] = in.grid(-4.0, 4.0, 32);
    // The step bounds always hold 0 (the current point lies within its bounds); one in eight is fixed.
    const bool fixed = in.choice(8) == 0;
    p.dl[i] = fixed ? 0.0 : -in.grid(0.0, 4.0, 16);
    p.du[i] = fixed ? 0.0 : in.grid(0.0, 4.0, 16);
  }
  for (int j = 0; j < p.m; ++j) p.ktype.push_back(j < p.me ? 0 : (in.choice(2) == 0 ? 1 : -1));
  p.a.assign(static_cast<std::size_t>(p.nq) * p.m, 0.0);
  p.c.assign(p.m, 0.0);
  for (int j = 0; j < p.m; ++j) {
    for (int i = 0; i < n; ++i) p.a[i + j * p.nq] = in.grid(-2.0, 2.0, 8);
    p.c[j] = in.grid(-2.0, 2.0, 8);
  }
  return p;
}

void print(const char* label, const std::vector<double>& v) {
  std::fprintf(stderr, "%s:", label);
  for (double x : v) std::fprintf(stderr, " %.17g", x);
  std::fprintf(stderr, "\n");
}

// With TALVIR_FUZZ_VERBOSE set, the case is printed before it is checked (to study a finding).
void describe(const qp_testing::Problem& p, const qp_testing::Result& r, int mode) {
  if (std::getenv("TALVIR_FUZZ_VERBOSE") == nullptr) return;
  std::fprintf(stderr, "NQ %d M %d ME %d mode %d QPFAIL %d\n", p.nq, p.m, p.me, mode, r.qpfail);
  print("H (packed)", p.h);
  print("G", p.g);
  print("DL", p.dl);
  print("DU", p.du);
  print("A (by columns)", p.a);
  print("C", p.c);
  print("D", r.d);
  double best = 0.0;
  const qp_testing::Internal q = qp_testing::internal_form(p);
  print("brute force D", qp_testing::brute_force(q, best));
  std::fprintf(stderr, "objective %.17g, brute force %.17g\n", qp_testing::objective(q, r.d), best);
}

void check_result(const qp_testing::Problem& p, const qp_testing::Result& r) {
  FUZZ_CHECK(r.ktype == p.ktype, "QPSUB gave KTYPE back changed");
  // Consistent arguments and minimal workspaces: no code 1 or 4; 6 reports a non-finite value.
  FUZZ_CHECK(r.qpfail == 0 || r.qpfail == 2 || r.qpfail == 3 || r.qpfail == 6,
             "QPSUB answered a code other than 0, 2, 3 or 6 for consistent arguments");
  if (r.qpfail != 0) return;
  for (double d : r.d) FUZZ_CHECK(std::isfinite(d), "QPSUB succeeded with a non-finite step");
  const qp_testing::Kkt k = qp_testing::check_kkt(p, r);
  FUZZ_CHECK(k.feasibility < kKktLimit, "QPSUB succeeded with an infeasible step");
  FUZZ_CHECK(k.worst() < 1e-6, "QPSUB succeeded at a point that does not meet the KKT conditions");
  // For a strictly convex QP the KKT conditions above already certify the optimum; the brute force,
  // whose faces grow as 3^NQ 2^M, confirms it independently where it is cheap (NQ <= 3).
  if (p.nq > 3) return;
  const qp_testing::Internal q = qp_testing::internal_form(p);
  double best = 0.0;
  const qp_testing::Vec oracle = qp_testing::brute_force(q, best);
  if (oracle.empty()) return;  // every face singular: nothing to compare with
  // The brute force accepts faces 1e-9 outside the constraints, which the gradient (up to 1e5 for the
  // relaxation variable) turns into objective differences of that order times its size.
  double slack = 1.0 + std::fabs(best);
  for (double g : q.g) slack += std::fabs(g);
  const double got = qp_testing::objective(q, r.d);
  FUZZ_CHECK(got <= best + 1e-8 * slack, "QPSUB's objective is above the brute-force optimum");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const qp_testing::Problem p = read_problem(in);
  const int mode = in.choice(2);
  const qp_testing::Result r = qp_testing::solve(p, mode);
  describe(p, r, mode);
  check_result(p, r);
  return 0;
}
