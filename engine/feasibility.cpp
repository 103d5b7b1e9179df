// Feasibility test of the convergence test (contract in feasibility.h).
#include "engine/feasibility.h"

#include <algorithm>
#include <cmath>

#include "engine/linesearch.h"
#include "engine/listing.h"

namespace vek::engine {

double feasibility_factor(double acc) {
  if (!(acc <= kFeasibilityCap)) return kFeasibilityCap;
  return std::max(acc, kFeasibilityFloor);
}

double feasibility_tolerance(const EngineCall& c, int j, double eps) {
  const qp::Vec1<double> a = c.A.column(j);
  double terms = 0.0;
  for (int i = 1; i <= c.N; ++i) terms += std::fabs(a(i) * c.X(i));
  return eps + kTermsFactor * terms;
}

bool constraints_met(const EngineCall& c, bool list) {
  const double eps = feasibility_factor(c.ACC);
  bool met = true;
  for (int j = 1; j <= c.M; ++j) {
    const double v = violation(c.KTYPE(j), c.C(j));
    if (v == 0.0) continue;
    const double tau = feasibility_tolerance(c, j, eps);
    if (v <= tau) continue;
    if (list && met) {
      listing::blank_line();
      listing::text("*** MIRAX, CONVERGENCE SUM SATISFIED, ", "CONSTRAINTS NOT SATISFIED :");
    }
    if (list) listing::tolerance_row(j, v, tau);
    met = false;
  }
  return met;
}

}  // namespace vek::engine
