// QPSUB on dense random strictly convex QPs: NQ = 25 .. 400 variables, M = NQ/2 inequalities of both
// senses (half of them violated at D = 0), optionally NQ/4 of the constraints equalities, normal and
// reliable mode. Each iteration copies the caller's arrays (QPSUB destroys them; O(NQ*M + NQ^2), small
// next to the solve) and solves from scratch with workspaces of exactly the minimum length.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "qp/QPSUB.h"

namespace {

struct Problem {
  int nq, m, me;
  std::vector<int> ktype;
  std::vector<double> g, h, a, c, dl, du;
};

Problem make_problem(int nq, bool with_equalities) {
  std::mt19937 rng(static_cast<unsigned>(12345 + nq));
  std::normal_distribution<double> nd(0.0, 1.0);
  std::uniform_real_distribution<double> ud(0.0, 1.0);
  const int n = nq - 1;
  Problem p;
  p.nq = nq;
  p.me = with_equalities ? nq / 4 : 0;
  p.m = nq / 2 + p.me;
  // H = B B' / n + I/2 for the step variables (strictly convex, condition number about 10).
  std::vector<double> b(static_cast<std::size_t>(n) * n);
  for (double& x : b) x = nd(rng);
  p.h.assign(static_cast<std::size_t>(nq) * (nq + 1) / 2, 0.0);
  for (int j = 0; j < n; ++j)
    for (int i = j; i < n; ++i) {
      double s = i == j ? 0.5 : 0.0;
      for (int k = 0; k < n; ++k) s += b[i * n + k] * b[j * n + k] / n;
      p.h[static_cast<std::size_t>(i + 1 + j * nq - j * (j + 1) / 2 - 1)] = s;
    }
  p.g.assign(nq, 0.0);
  p.dl.assign(nq, 0.0);
  p.du.assign(nq, 0.0);
  for (int i = 0; i < n; ++i) {
    p.g[i] = 3.0 * nd(rng);
    p.dl[i] = -1.0 - ud(rng);
    p.du[i] = 1.0 + ud(rng);
  }
  p.a.assign(static_cast<std::size_t>(nq) * p.m, 0.0);
  p.c.assign(p.m, 0.0);
  for (int j = 0; j < p.m; ++j) {
    p.ktype.push_back(j < p.me ? 0 : (j % 2 ? 1 : -1));
    for (int i = 0; i < n; ++i) p.a[i + static_cast<std::size_t>(j) * nq] = nd(rng);
    p.c[j] = p.ktype[j] * (ud(rng) - 0.5) + (p.ktype[j] == 0 ? 0.1 * nd(rng) : 0.0);
  }
  std::shuffle(p.ktype.begin(), p.ktype.end(), rng);
  return p;
}

void BM_Qpsub(benchmark::State& state) {
  const int nq = static_cast<int>(state.range(0));
  const bool with_equalities = state.range(1) != 0;
  const int mode = static_cast<int>(state.range(2));
  const Problem p = make_problem(nq, with_equalities);
  Problem w = p;
  std::vector<double> d(nq), u(p.m);
  std::vector<int> iwa(vek::qp::qpsub_min_liwa(nq, p.m, p.me));
  std::vector<double> wa(vek::qp::qpsub_min_lwa(nq, p.m, p.me));
  int qpfail = 0;
  int active = 0;
  for (auto _ : state) {
    std::copy(p.g.begin(), p.g.end(), w.g.begin());
    std::copy(p.h.begin(), p.h.end(), w.h.begin());
    std::copy(p.a.begin(), p.a.end(), w.a.begin());
    std::copy(p.c.begin(), p.c.end(), w.c.begin());
    std::copy(p.dl.begin(), p.dl.end(), w.dl.begin());
    std::copy(p.du.begin(), p.du.end(), w.du.begin());
    vek::qp::QPSUB(nq, nq, p.m, p.me, w.ktype.data(), d.data(), u.data(), w.dl.data(), w.du.data(),
                   w.c.data(), w.a.data(), w.g.data(), w.h.data(), iwa.data(), wa.data(),
                   static_cast<int>(iwa.size()), static_cast<int>(wa.size()), mode, qpfail, -1);
    benchmark::DoNotOptimize(d.data());
  }
  for (int j = 0; j < p.m; ++j) active += u[j] != 0.0;
  for (int i = 0; i < nq; ++i) active += (w.dl[i] != 0.0 || w.du[i] != 0.0);
  state.counters["active"] = active;
  state.counters["qpfail"] = qpfail;
  state.counters["relax"] = d[nq - 1];
  state.SetComplexityN(nq);
}

void qp_sizes(benchmark::internal::Benchmark* b, int equalities, int mode) {
  for (int nq : {25, 50, 100, 200, 400}) b->Args({nq, equalities, mode});
  b->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oNCubed);
}

}  // namespace

BENCHMARK(BM_Qpsub)->Name("QPSUB/normal/ineq")->Apply([](auto* b) { qp_sizes(b, 0, 0); });
BENCHMARK(BM_Qpsub)->Name("QPSUB/reliable/ineq")->Apply([](auto* b) { qp_sizes(b, 0, 1); });
BENCHMARK(BM_Qpsub)->Name("QPSUB/normal/eq")->Apply([](auto* b) { qp_sizes(b, 1, 0); });
BENCHMARK(BM_Qpsub)->Name("QPSUB/reliable/eq")->Apply([](auto* b) { qp_sizes(b, 1, 1); });

BENCHMARK_MAIN();
