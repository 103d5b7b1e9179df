// Stationarity test of the convergence test (contract in stationarity.h).
#include "engine/stationarity.h"

#include <algorithm>
#include <cmath>

namespace vek::engine {

namespace {

// |X(i) - clamp(X(i) - r_i, XL(i), XU(i))|: r_i, cut at the room the bounds leave in its descent
// direction (so a variable on, or a rounding error away from, the bound it is pressed against counts 0).
double projected(const EngineCall& c, int i) {
  const double r = c.vf.glag0(i);
  if (r > 0.0) return std::min(r, std::max(c.X(i) - c.XL(i), 0.0));
  if (r < 0.0) return std::min(-r, std::max(c.XU(i) - c.X(i), 0.0));
  return std::fabs(r);  // 0, or a NaN
}

}  // namespace

double largest_magnitude(const double* v, int n) {
  double largest = 0.0;
  for (int i = 0; i < n; ++i) largest = std::max(largest, std::fabs(v[i]));
  return largest;
}

double stationarity_ratio(const EngineCall& c, double floor) {
  double size = std::max(floor, largest_magnitude(c.G.data(), c.N));
  for (int j = 1; j <= c.M; ++j) {
    const double u = std::fabs(c.vf.lambda(j));
    if (u != 0.0) size = std::max(size, u * largest_magnitude(c.A.column(j).data(), c.N));
  }
  double worst = 0.0;
  for (int i = 1; i <= c.N; ++i) {
    const double p = std::fabs(projected(c, i));
    if (!(p <= worst)) worst = p;  // a NaN is kept
  }
  return worst / size;
}

double stationarity_tolerance(double acc) {
  const double tau = std::max(1.0e-4, 100.0 * std::sqrt(acc));
  return tau < 0.05 ? tau : 0.05;
}

bool point_stationary(const EngineCall& c, double floor) {
  return stationarity_ratio(c, floor) <= stationarity_tolerance(c.ACC);
}

}  // namespace vek::engine
