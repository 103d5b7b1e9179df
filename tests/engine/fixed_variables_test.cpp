// Whole solutions through MIRAX with variables fixed by their bounds (XL = XU) and equalities that are
// dependent once the fixed variables are left out: the QP must not stop the run at a point whose
// linearisation it wrongly declared infeasible.
#include <gtest/gtest.h>

#include <string>

#include "engine/mirax_driver.h"

namespace {

using engine_test::MiraxRun;
using engine_test::Nlp;
using engine_test::Settings;

// min x3^2 + x4^2  s.t.  k x2 + x3 + 1 = 0,  x1 + x2 + x4 + 1 = 0,  x1 + x4 + 1 = 0,  x1 = x2 = 0 by
// their bounds, x3 and x4 in [-1, 1]: the only feasible point is (0, 0, -1, -1), f* = 2.
Nlp fixed_and_dependent(double k) {
  Nlp p;
  p.n = 4;
  p.m = 3;
  p.kind = {0, 0, 0};
  p.xl = {0.0, 0.0, -1.0, -1.0};
  p.xu = {0.0, 0.0, 1.0, 1.0};
  p.x0 = {0.0, 0.0, 0.0, 0.0};
  p.f = [](const double* x) { return x[2] * x[2] + x[3] * x[3]; };
  p.g = [](const double* x, double* g) {
    g[0] = 0.0;
    g[1] = 0.0;
    g[2] = 2 * x[2];
    g[3] = 2 * x[3];
  };
  p.c = [k](const double* x, double* c) {
    c[0] = k * x[1] + x[2] + 1;
    c[1] = x[0] + x[1] + x[3] + 1;
    c[2] = x[0] + x[3] + 1;
  };
  p.a = [k](const double*, double* a, int lcn) {
    const double rows[3][4] = {{0, k, 1, 0}, {1, 1, 0, 1}, {1, 0, 0, 1}};
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 4; ++i) a[j * lcn + i] = rows[j][i];
  };
  return p;
}

TEST(FixedVariables, DependentEqualitiesModuloFixedVariablesAreSolved) {
  for (double k : {-24.75, -2.0}) {  // -2 never left a rounding residue; -24.75 used to end with 6
    for (int mode : {0, 1}) {
      SCOPED_TRACE("k " + std::to_string(k) + (mode ? ", reliable QP" : ", normal QP"));
      Settings s;
      s.mode = mode;
      MiraxRun run(fixed_and_dependent(k), s);
      ASSERT_EQ(run.solve(), 1);
      const double expected[4] = {0.0, 0.0, -1.0, -1.0};
      for (int i = 0; i < 4; ++i) EXPECT_NEAR(run.x[i], expected[i], 1e-9);
      EXPECT_NEAR(run.fx, 2.0, 1e-9);
    }
  }
}

}  // namespace
