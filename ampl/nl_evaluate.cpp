// The evaluation glue between ASL and the solver. Contract in ampl/nl_evaluate.h.
#include "ampl/nl_evaluate.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

namespace talvir::ampl {
namespace {

using Clock = std::chrono::steady_clock;

// Adds the time since `start` to the model's evaluation time when it leaves scope.
struct GlueTimer {
  NlModel& model;
  Clock::time_point start = Clock::now();
  ~GlueTimer() { model.evaluation_seconds += std::chrono::duration<double>(Clock::now() - start).count(); }
};

// ASL takes the point as a non-const pointer but does not write through it.
real* asl_point(const double* x) {
  return const_cast<real*>(x);
}

bool objective_value(NlModel& model, const double* x, double& f) {
  ASL* asl = model.asl;
  f = 0.0;
  if (model.objective < 0) return true;
  fint error = 0;
  const double value = objval(model.objective, asl_point(x), &error);
  f = model.sense * value;
  return error == 0;
}

bool row_values(NlModel& model, const double* x, double* c) {
  ASL* asl = model.asl;
  if (model.m_source == 0) return true;
  fint error = 0;
  conval(asl_point(x), model.c_source.data(), &error);
  if (error != 0) return false;
  for (int j = 0; j < model.m(); ++j) {
    const EngineRow& row = model.rows[j];
    const double value = model.c_source[row.source];
    c[j] = row.side == RowSide::kUpper ? row.offset - value : value - row.offset;
  }
  return true;
}

}  // namespace

bool evaluate_functions(NlModel& model, const double* x, double& f, double* c) {
  GlueTimer timer{model};
  ++model.function_evaluations;
  const bool ok = objective_value(model, x, f) && row_values(model, x, c);
  if (!ok) ++model.failed_evaluations;
  return ok;
}

bool evaluate_derivatives(NlModel& model, const double* x, double* g, double* jac) {
  GlueTimer timer{model};
  ASL* asl = model.asl;
  ++model.derivative_evaluations;
  fint error = 0;
  if (model.objective >= 0) {
    objgrd(model.objective, asl_point(x), g, &error);
    for (int i = 0; i < model.n; ++i) g[i] *= model.sense;
  } else {
    for (int i = 0; i < model.n; ++i) g[i] = 0.0;
  }
  if (error == 0 && model.m_source > 0) {
    jacval(asl_point(x), model.jac_source_values.data(), &error);
    for (int k = 0; k < model.nnz(); ++k)
      jac[k] = model.jac_sign[k] * model.jac_source_values[model.jac_source[k]];
  }
  if (error != 0) ++model.failed_evaluations;
  return error == 0;
}

std::string failing_function(NlModel& model, const double* x) {
  ASL* asl = model.asl;
  double f = 0.0;
  if (!objective_value(model, x, f)) return "the objective";
  for (int i = 0; i < model.m_source; ++i) {
    fint error = 0;
    conival(i, asl_point(x), &error);
    if (error != 0) return std::string("constraint ") + con_name(i);
  }
  return "";
}

}  // namespace talvir::ampl
