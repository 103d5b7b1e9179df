// Whole engine solves of a scalable dense problem, split into the time spent in the QP subproblem
// (MIRAX2: set-up, copies and QPSUB) and the engine's own work per iteration (argument checks,
// convergence sum, penalties, line search, Hessian update), which should grow like n^2 + nM.
//
// Problem (n variables, n/4 equalities, n/4 inequalities, all rows dense):
//   min  sum (x_i - 1)^2 + 0.1 sum x_i x_{i+1}
//   eq j:  sum_i cos(0.7 (i+1)(j+1)) x_i / sqrt(n) + 0.1 x_j^2 - 0.5 = 0
//   in j:  sum_i sin(0.3 (i+1)(j+2)) x_i / sqrt(n) + 0.05 |x|^2 / n - 1 <= 0
//   -5 <= x <= 5, start x = 0.
// The QP share is measured by running MIRAX2 again, on copies, for the subproblem that each
// iteration-starting call has just solved (the copies leave the solve undisturbed).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "engine/MIRAX.h"
#include "engine/MIRAX2.h"
#include "engine/MxiterState.h"
#include "engine/hessian.h"
#include "engine/linesearch.h"
#include "qp/views.h"

namespace {

struct DenseProblem {
  int n, me, mi, m, lcn;
  std::vector<double> ceq, cin;  // coefficient rows, row-major
  explicit DenseProblem(int n_) : n(n_), me(n_ / 4), mi(n_ / 4), m(me + mi), lcn(n_ + 1) {
    const double s = 1.0 / std::sqrt(static_cast<double>(n));
    ceq.resize(static_cast<std::size_t>(me) * n);
    cin.resize(static_cast<std::size_t>(mi) * n);
    for (int j = 0; j < me; ++j) {
      for (int i = 0; i < n; ++i) ceq[j * n + i] = std::cos(0.7 * (i + 1) * (j + 1)) * s;
    }
    for (int j = 0; j < mi; ++j) {
      for (int i = 0; i < n; ++i) cin[j * n + i] = std::sin(0.3 * (i + 1) * (j + 2)) * s;
    }
  }
  double f(const double* x) const {
    double v = 0.0;
    for (int i = 0; i < n; ++i) v += (x[i] - 1) * (x[i] - 1) + (i + 1 < n ? 0.1 * x[i] * x[i + 1] : 0.0);
    return v;
  }
  void g(const double* x, double* out) const {
    for (int i = 0; i < n; ++i) {
      out[i] = 2 * (x[i] - 1) + (i + 1 < n ? 0.1 * x[i + 1] : 0.0) + (i > 0 ? 0.1 * x[i - 1] : 0.0);
    }
  }
  void c(const double* x, double* out) const {
    double xx = 0.0;
    for (int i = 0; i < n; ++i) xx += x[i] * x[i];
    for (int j = 0; j < me; ++j) {
      double v = 0.1 * x[j] * x[j] - 0.5;
      for (int i = 0; i < n; ++i) v += ceq[j * n + i] * x[i];
      out[j] = v;
    }
    for (int j = 0; j < mi; ++j) {
      double v = 0.05 * xx / n - 1.0;
      for (int i = 0; i < n; ++i) v += cin[j * n + i] * x[i];
      out[me + j] = v;
    }
  }
  void a(const double* x, double* out) const {
    for (int j = 0; j < me; ++j) {
      for (int i = 0; i < n; ++i) out[j * lcn + i] = ceq[j * n + i];
      out[j * lcn + j] += 0.2 * x[j];
    }
    for (int j = 0; j < mi; ++j) {
      for (int i = 0; i < n; ++i) out[(me + j) * lcn + i] = cin[j * n + i] + 0.1 * x[i] / n;
    }
  }
};

struct SolveTimes {
  double engine_s = 0.0;  // all MIRAX calls
  double qp_s = 0.0;      // MIRAX2 on the same subproblems
  int iterations = 0;
  int calls = 0;
  int inf = 0;
};

using Clock = std::chrono::steady_clock;
double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Times MIRAX2 on copies of the subproblem that the engine has just solved: after a call that started
// an iteration, VF still holds that B and the start point X0, and G, C, A are the values there.
double time_subproblem(const DenseProblem& p, const std::vector<int>& kind, const std::vector<double>& g,
                       const std::vector<double>& c, const std::vector<double>& a,
                       const std::vector<double>& vf, const std::vector<double>& xl,
                       const std::vector<double>& xu) {
  const int n = p.n, m = p.m, nq = n + 1, nb = nq * (nq + 1) / 2;
  std::vector<int> kind2 = kind;
  std::vector<double> c2 = c, a2 = a, b2(vf.begin() + 2 * m, vf.begin() + 2 * m + nb),
                      x0(vf.begin() + 2 * m + nb + 2 * n, vf.begin() + 2 * m + nb + 3 * n), d2(nq), u2(m);
  const int lwqp = vek::engine::mirax_min_lwqp(n, m, p.me) + m + nq * m + nb;
  std::vector<double> wqp2(lwqp);
  int inf2 = 0, qpfail = 0;
  const auto t0 = Clock::now();
  vek::engine::MIRAX2(n, m, p.me, kind2.data(), g.data(), c2.data(), a2.data(), p.lcn, inf2, nq, u2.data(),
                      b2.data(), d2.data(), wqp2.data(), lwqp, x0.data(), xl.data(), xu.data(), 0, qpfail,
                      -1);
  return seconds_since(t0);
}

SolveTimes solve(const DenseProblem& p) {
  const int n = p.n, m = p.m, nq = n + 1;
  std::vector<int> kind(m, 0);
  for (int j = p.me; j < m; ++j) kind[j] = -1;
  std::vector<double> x(n, 0.0), g(n), c(m), a(static_cast<std::size_t>(p.lcn) * m), xl(n, -5.0), xu(n, 5.0),
      d(nq, 1.0), cvg(2);
  d[n] = 0.0;
  const int lwvf = vek::engine::mirax_min_lwvf(n, m);
  const int lwqp = vek::engine::mirax_min_lwqp(n, m, p.me) + m + nq * m + nq * (nq + 1) / 2;
  std::vector<double> vf(lwvf, 0.0), wqp(lwqp, 0.0);
  vek::engine::MxiterState state;
  SolveTimes t;
  double fx = p.f(x.data());
  p.g(x.data(), g.data());
  p.c(x.data(), c.data());
  p.a(x.data(), a.data());
  int inf = 0;
  while (t.calls < 5000) {
    if (inf == -1) {
      fx = p.f(x.data());
      p.c(x.data(), c.data());
    } else if (inf == -2) {
      p.g(x.data(), g.data());
      p.a(x.data(), a.data());
    }
    const bool started_iteration = inf == 0 || inf == -2;
    const auto t0 = Clock::now();
    vek::engine::MIRAX(n, m, kind.data(), x.data(), fx, g.data(), c.data(), a.data(), p.lcn, 200, 1e-8, -1,
                       inf, vf.data(), lwvf, wqp.data(), lwqp, xl.data(), xu.data(), d.data(), 0.5, 0,
                       cvg.data(), 10, state);
    t.engine_s += seconds_since(t0);
    ++t.calls;
    if (started_iteration && inf != 10) t.qp_s += time_subproblem(p, kind, g, c, a, vf, xl, xu);
    if (inf > 0) break;
  }
  t.iterations = state.ITER;
  t.inf = inf;
  return t;
}

void BM_EngineSolve(benchmark::State& st) {
  const DenseProblem p(static_cast<int>(st.range(0)));
  SolveTimes total;
  int solves = 0;
  for (auto _ : st) {
    const SolveTimes t = solve(p);
    total.engine_s += t.engine_s;
    total.qp_s += t.qp_s;
    total.iterations += t.iterations;
    total.calls += t.calls;
    total.inf = t.inf;
    ++solves;
  }
  const double iters = std::max(1, total.iterations);
  st.counters["M"] = p.m;
  st.counters["INF"] = total.inf;
  st.counters["iters"] = static_cast<double>(total.iterations) / solves;
  st.counters["calls"] = static_cast<double>(total.calls) / solves;
  st.counters["all_us_per_it"] = 1e6 * total.engine_s / iters;
  st.counters["qp_us_per_it"] = 1e6 * total.qp_s / iters;
}

// The engine's own arithmetic of one iteration outside the QP, measured directly (in a whole solve it
// is far below the noise of the QP's time): two Lagrangian gradients (O(nM)), the damped BFGS update
// with its B*delta product (O(n^2)), the penalty and convergence sums (O(M)) and the step (O(n)).
void BM_EngineOwnWorkPerIteration(benchmark::State& st) {
  const DenseProblem p(static_cast<int>(st.range(0)));
  const int n = p.n, m = p.m, nq = n + 1;
  std::vector<double> x(n, 0.3), g(n), c(m), a(static_cast<std::size_t>(p.lcn) * m), lambda(m), mu(m, 1.0),
      b(nq * (nq + 1) / 2, 0.0), delta(n), glag_new(n), glag0(n), bdelta(n);
  p.g(x.data(), g.data());
  p.c(x.data(), c.data());
  p.a(x.data(), a.data());
  for (int j = 0; j < m; ++j) lambda[j] = 0.1 * (j % 3 - 1);
  for (int i = 0; i < n; ++i) delta[i] = 1e-3 * std::cos(i);
  const vek::qp::Packed<double> bv(b.data(), nq);
  for (int i = 1; i <= n; ++i) bv(i, i) = 1.0;
  const vek::qp::Mat1<const double> av(a.data(), p.lcn);
  for (auto _ : st) {
    vek::engine::lagrangian_gradient(n, m, g.data(), av, lambda.data(), glag0.data());
    double sum = 0.0;
    for (int j = 0; j < m; ++j) {
      mu[j] = vek::engine::updated_weight(mu[j], lambda[j]);
      sum += std::fabs(lambda[j] * c[j]) + mu[j] * vek::engine::violation(j < p.me ? 0 : -1, c[j]);
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(vek::engine::first_step_factor(1, 0.5, n, x.data(), delta.data()));
    vek::engine::lagrangian_gradient(n, m, g.data(), av, lambda.data(), glag_new.data());
    for (int i = 0; i < n; ++i) glag_new[i] += 1e-3 * delta[i];  // positive curvature: a plain update
    vek::engine::damped_bfgs_update(n, bv, delta.data(), glag_new.data(), glag0.data(), bdelta.data());
    benchmark::ClobberMemory();
  }
  st.counters["M"] = m;
}

BENCHMARK(BM_EngineOwnWorkPerIteration)
    ->Arg(10)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Arg(400)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_EngineSolve)
    ->Arg(10)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.2);

}  // namespace

BENCHMARK_MAIN();
