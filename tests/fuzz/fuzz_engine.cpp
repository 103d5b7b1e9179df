// Fuzz target: the engine entry MIRAX driven through whole solves of small random nonlinear programs
// read from the fuzzer's bytes (quadratic-plus-quartic objective, linear-plus-quadratic constraints of
// every kind, boxes with fixed variables, every engine control), each with its own engine record.
// Invariants: every solve ends within a bound on calls; the final cycle flag is one the engine
// documents (1..10); the constraint kinds come back unchanged; every point handed out for evaluation
// and the final point lie within the bounds; a converged solve ends at a feasible point.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/mirax_driver.h"
#include "fuzz/fuzz_input.h"

namespace {

using talvir_fuzz::FuzzInput;

constexpr double kFeasibilityLimit = 1e-5;

struct Data {
  int n = 0, m = 0;
  std::vector<double> h, g, quartic;    // objective 1/2 x'Hx + g'x + sum quartic_i x_i^4 (H row-major)
  std::vector<double> a, b, curvature;  // constraint j: a_j'x + b_j + curvature_j |x|^2
};

engine_test::Nlp make_nlp(const Data& d, std::vector<int> kinds, std::vector<double> xl,
                          std::vector<double> xu, std::vector<double> x0) {
  engine_test::Nlp p;
  p.n = d.n;
  p.m = d.m;
  p.kind = std::move(kinds);
  p.xl = std::move(xl);
  p.xu = std::move(xu);
  p.x0 = std::move(x0);
  const int n = d.n;
  p.f = [d, n](const double* x) {
    double f = 0.0;
    for (int i = 0; i < n; ++i) {
      f += d.g[i] * x[i] + d.quartic[i] * std::pow(x[i], 4);
      for (int k = 0; k < n; ++k) f += 0.5 * x[i] * d.h[i * n + k] * x[k];
    }
    return f;
  };
  p.g = [d, n](const double* x, double* out) {
    for (int i = 0; i < n; ++i) {
      out[i] = d.g[i] + 4.0 * d.quartic[i] * std::pow(x[i], 3);
      for (int k = 0; k < n; ++k) out[i] += 0.5 * (d.h[i * n + k] + d.h[k * n + i]) * x[k];
    }
  };
  p.c = [d, n](const double* x, double* out) {
    for (int j = 0; j < d.m; ++j) {
      double s = d.b[j], sq = 0.0;
      for (int i = 0; i < n; ++i) s += d.a[j * n + i] * x[i], sq += x[i] * x[i];
      out[j] = s + d.curvature[j] * sq;
    }
  };
  p.a = [d, n](const double* x, double* col, int lcn) {
    for (int j = 0; j < d.m; ++j)
      for (int i = 0; i < n; ++i) col[j * lcn + i] = d.a[j * n + i] + 2.0 * d.curvature[j] * x[i];
  };
  return p;
}

engine_test::Nlp read_nlp(FuzzInput& in, Data& d) {
  d.n = in.integer(1, 3);
  d.m = in.integer(0, 3);
  const int n = d.n;
  d.h.assign(static_cast<std::size_t>(n) * n, 0.0);
  for (double& v : d.h) v = in.grid(-2.0, 4.0, 24);
  for (int i = 0; i < n; ++i) {
    d.g.push_back(in.grid(-4.0, 4.0, 32));
    d.quartic.push_back(in.choice(3) == 0 ? in.grid(0.0, 1.0, 8) : 0.0);
  }
  std::vector<int> kinds;
  for (int j = 0; j < d.m; ++j) {
    kinds.push_back(in.integer(-1, 1));
    for (int i = 0; i < n; ++i) d.a.push_back(in.grid(-2.0, 2.0, 8));
    d.b.push_back(in.grid(-2.0, 2.0, 16));
    d.curvature.push_back(in.choice(3) == 0 ? in.grid(-1.0, 1.0, 8) : 0.0);
  }
  std::vector<double> xl(n), xu(n), x0(n);
  for (int i = 0; i < n; ++i) {
    const bool fixed = in.choice(8) == 0;
    xl[i] = -in.grid(0.0, 5.0, 20);
    xu[i] = fixed ? xl[i] : in.grid(0.0, 5.0, 20);
    x0[i] = xl[i] + (xu[i] - xl[i]) * in.grid(0.0, 1.0, 8);
  }
  return make_nlp(d, kinds, xl, xu, x0);
}

engine_test::Settings read_settings(FuzzInput& in) {
  engine_test::Settings s;
  s.maxit = in.integer(1, 60);
  s.acc = std::pow(10.0, -in.integer(3, 12));
  s.mode = in.choice(2);
  s.maxls = in.integer(0, 10);
  s.step = in.grid(0.0, 1.0, 8);
  s.hessian_control = in.choice(4) == 0 ? in.grid(-1.0, 3.0, 8) : 0.0;
  s.scratch = in.choice(4) == 0;
  return s;
}

bool within_bounds(const engine_test::Nlp& p, const std::vector<double>& x) {
  for (int i = 0; i < p.n; ++i)
    if (!(x[i] >= p.xl[i] && x[i] <= p.xu[i])) return false;
  return true;
}

// The largest constraint violation at x, each in the units of its constraint: divided by one plus the
// size of its terms there (|b| + sum |a_i x_i| + |curvature| |x|^2).
double violation(const engine_test::Nlp& p, const Data& d, const std::vector<double>& x) {
  std::vector<double> c(std::max(p.m, 1), 0.0);
  if (p.m > 0) p.c(x.data(), c.data());
  double v = 0.0;
  for (int j = 0; j < p.m; ++j) {
    double terms = 1.0 + std::fabs(d.b[j]), sq = 0.0;
    for (int i = 0; i < d.n; ++i) terms += std::fabs(d.a[j * d.n + i] * x[i]), sq += x[i] * x[i];
    terms += std::fabs(d.curvature[j]) * sq;
    const double r = p.kind[j] == 0 ? std::fabs(c[j]) : std::max(0.0, -p.kind[j] * c[j]);
    v = std::max(v, std::isnan(r) ? INFINITY : r / terms);
  }
  return v;
}

// With TALVIR_FUZZ_VERBOSE set, the ending is printed before it is checked (to study a finding).
void describe(const engine_test::Nlp& p, const engine_test::Settings& s, const engine_test::MiraxRun& run) {
  if (std::getenv("TALVIR_FUZZ_VERBOSE") == nullptr) return;
  std::fprintf(stderr, "N %d M %d MAXIT %d ACC %g MODE %d MAXLS %d scratch %d: INF %d after %d calls\n", p.n,
               p.m, s.maxit, s.acc, s.mode, s.maxls, s.scratch, run.inf, run.calls);
  for (int i = 0; i < p.n; ++i)
    std::fprintf(stderr, "  x%d = %.17g in [%g, %g]\n", i + 1, run.x[i], p.xl[i], p.xu[i]);
  std::vector<double> c(std::max(p.m, 1), 0.0);
  if (p.m > 0) p.c(run.x.data(), c.data());
  for (int j = 0; j < p.m; ++j) std::fprintf(stderr, "  c%d = %.17g (kind %d)\n", j + 1, c[j], p.kind[j]);
  std::fprintf(stderr, "  f = %.17g, CVG %g / %g\n", p.f(run.x.data()), run.cvg[0], run.cvg[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  Data d;
  const engine_test::Nlp p = read_nlp(in, d);
  const engine_test::Settings s = read_settings(in);
  vek::engine::MxiterState state;
  engine_test::MiraxRun run(p, s, &state);
  // Each iteration takes one derivative call and at most MAXLS + 1 function calls (a generous bound).
  const int call_limit = (s.maxit + 2) * (s.maxls + 3) + 10;
  while (!run.finished() && run.calls < call_limit) {
    run.call();
    if (run.inf < 0)
      FUZZ_CHECK(within_bounds(p, run.x), "the engine asked for an evaluation outside the bounds");
  }
  describe(p, s, run);
  FUZZ_CHECK(run.finished(), "the solve did not end within its iteration and line search limits");
  FUZZ_CHECK(run.inf >= 1 && run.inf <= 10, "the solve ended with an undocumented cycle flag");
  std::vector<int> kinds = p.kind;
  kinds.resize(std::max(p.m, 1));
  FUZZ_CHECK(run.kind == kinds, "the constraint kinds came back changed");
  if (run.inf == 1) {
    FUZZ_CHECK(within_bounds(p, run.x), "a converged solve ended outside the bounds");
    FUZZ_CHECK(violation(p, d, run.x) <= kFeasibilityLimit, "a converged solve ended at an infeasible point");
  }
  return 0;
}
