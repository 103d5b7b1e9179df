// The engine never calls an unbounded or a non-stationary point a solution. Each case is a problem on
// which the convergence sum alone would pass (or the iterates run off to the 1e20 that stands for "no
// bound"), with what the engine must end with instead; the oracle is the known optimum.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/mirax_driver.h"

namespace {

using engine_test::MiraxRun;
using engine_test::Nlp;
using engine_test::Settings;

constexpr double kNone = 1.0e20;

// min -(x1^2 + x2^2), free; with `equality` also x1 + x2 = 1. Unbounded either way.
Nlp concave(bool equality) {
  Nlp p;
  p.n = 2;
  p.m = equality ? 1 : 0;
  if (equality) p.kind = {0};
  p.xl = {-kNone, -kNone};
  p.xu = {kNone, kNone};
  p.x0 = {1.0, 0.5};
  p.f = [](const double* x) { return -(x[0] * x[0] + x[1] * x[1]); };
  p.g = [](const double* x, double* g) { g[0] = -2 * x[0], g[1] = -2 * x[1]; };
  p.c = [](const double* x, double* c) { c[0] = x[0] + x[1] - 1; };
  p.a = [](const double*, double* a, int) { a[0] = 1, a[1] = 1; };
  return p;
}

// min x1^2 + x2^2  s.t.  x1 + x2 >= 1, from (3, 3) (f = 18): x* = (0.5, 0.5), f* = 0.5.
Nlp bowl() {
  Nlp p;
  p.n = 2;
  p.m = 1;
  p.kind = {1};
  p.xl = {-10.0, -10.0};
  p.xu = {10.0, 10.0};
  p.x0 = {3.0, 3.0};
  p.f = [](const double* x) { return x[0] * x[0] + x[1] * x[1]; };
  p.g = [](const double* x, double* g) { g[0] = 2 * x[0], g[1] = 2 * x[1]; };
  p.c = [](const double* x, double* c) { c[0] = x[0] + x[1] - 1; };
  p.a = [](const double*, double* a, int) { a[0] = 1, a[1] = 1; };
  return p;
}

struct Case {
  std::string name;
  Nlp problem;
  double hessian_control;   // D(N+1)
  double scale;             // every D(i), i <= N
  int ending;               // INF
  bool unbounded;           // the ending 6 says "unbounded"
  double optimum;           // f at the end when converged
};

TEST(Soundness, NeitherAnUnboundedNorANonStationaryPointIsASolution) {
  const std::vector<Case> cases = {
      {"concave, free", concave(false), 0.0, 1.0, 6, true, 0.0},
      {"concave, one equality", concave(true), 0.0, 1.0, 6, true, 0.0},
      {"Hessian control 1e8", bowl(), 1.0e8, 1.0, 1, false, 0.5},
      {"Hessian control 1e12", bowl(), 1.0e12, 1.0, 1, false, 0.5},
      {"Hessian control -1e9", bowl(), -1.0e9, 1.0, 1, false, 0.5},
      {"scales 1e-4", bowl(), 0.0, 1.0e-4, 1, false, 0.5},
      {"scales 1e-6", bowl(), 0.0, 1.0e-6, 1, false, 0.5},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    Settings settings;
    settings.acc = 1.0e-6;
    settings.hessian_control = t.hessian_control;
    vek::engine::MxiterState state;
    MiraxRun run(t.problem, settings, &state);
    for (int i = 0; i < t.problem.n; ++i) run.d[i] = t.scale;
    EXPECT_EQ(run.solve(), t.ending);
    EXPECT_EQ(state.unbounded, t.unbounded);
    if (t.ending == 1) {
      EXPECT_NEAR(run.fx, t.optimum, 1e-6);
      EXPECT_NEAR(run.x[0], 0.5, 1e-4);
    }
  }
}

}  // namespace
