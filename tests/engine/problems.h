// Small nonlinear programs with known solutions, for the engine tests.
#pragma once

#include <cmath>

#include "engine/mirax_driver.h"

namespace engine_test {

// min (x1-2)^2 + (x2-1)^2  s.t.  x1 + x2 <= 2:  x* = (1.5, 0.5), f* = 0.5.
inline Nlp quadratic_with_inequality() {
  Nlp p;
  p.n = 2;
  p.m = 1;
  p.kind = {-1};
  p.xl = {-10.0, -10.0};
  p.xu = {10.0, 10.0};
  p.x0 = {0.0, 0.0};
  p.f = [](const double* x) { return (x[0] - 2) * (x[0] - 2) + (x[1] - 1) * (x[1] - 1); };
  p.g = [](const double* x, double* g) {
    g[0] = 2 * (x[0] - 2);
    g[1] = 2 * (x[1] - 1);
  };
  p.c = [](const double* x, double* c) { c[0] = x[0] + x[1] - 2; };
  p.a = [](const double*, double* a, int) {
    a[0] = 1;
    a[1] = 1;
  };
  return p;
}

// min x1^2 + x2^2  s.t.  x1 x2 = 1 (equality), x1 + x2 >= 1:  x* = (1, 1), f* = 2 from x0 = (3, 0.5).
inline Nlp hyperbola() {
  Nlp p;
  p.n = 2;
  p.m = 2;
  p.kind = {0, 1};
  p.xl = {0.1, 0.1};
  p.xu = {10.0, 10.0};
  p.x0 = {3.0, 0.5};
  p.f = [](const double* x) { return x[0] * x[0] + x[1] * x[1]; };
  p.g = [](const double* x, double* g) {
    g[0] = 2 * x[0];
    g[1] = 2 * x[1];
  };
  p.c = [](const double* x, double* c) {
    c[0] = x[0] * x[1] - 1;
    c[1] = x[0] + x[1] - 1;
  };
  p.a = [](const double* x, double* a, int lcn) {
    a[0] = x[1];
    a[1] = x[0];
    a[lcn] = 1;
    a[lcn + 1] = 1;
  };
  return p;
}

// Rosenbrock with the bound x1 <= 0.5 (M = 0): x* = (0.5, 0.25), f* = 0.25.
inline Nlp bounded_rosenbrock() {
  Nlp p;
  p.n = 2;
  p.m = 0;
  p.xl = {-5.0, -5.0};
  p.xu = {0.5, 5.0};
  p.x0 = {-1.2, 1.0};
  p.f = [](const double* x) { return 100 * std::pow(x[1] - x[0] * x[0], 2) + std::pow(1 - x[0], 2); };
  p.g = [](const double* x, double* g) {
    g[0] = -400 * x[0] * (x[1] - x[0] * x[0]) - 2 * (1 - x[0]);
    g[1] = 200 * (x[1] - x[0] * x[0]);
  };
  p.c = [](const double*, double*) {};
  p.a = [](const double*, double*, int) {};
  return p;
}

// Linearisation cannot be met: x1^2 + 1 <= 0 has no solution, so the relaxation variable collapses.
inline Nlp infeasible_circle() {
  Nlp p;
  p.n = 1;
  p.m = 1;
  p.kind = {-1};
  p.xl = {-10.0};
  p.xu = {10.0};
  p.x0 = {0.0};
  p.f = [](const double* x) { return x[0]; };
  p.g = [](const double*, double* g) { g[0] = 1; };
  p.c = [](const double* x, double* c) { c[0] = x[0] * x[0] + 1; };
  p.a = [](const double* x, double* a, int) { a[0] = 2 * x[0]; };
  return p;
}

}  // namespace engine_test
