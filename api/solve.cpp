// The callback drivers talvir_solve and talvir_solve_with: the reverse-communication loop of talvir_step,
// each request answered by the caller's callbacks (contract in include/talvir/talvir.h).
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "api/solver.h"

using talvir_api::fail;
using talvir_api::Phase;
using talvir_api::succeed;

namespace {

struct Callbacks {
  talvir_objective_fn objective;
  talvir_constraints_fn constraints;
  talvir_gradient_fn gradient;
  talvir_jacobian_fn jacobian;
  talvir_evaluate_fn evaluate;
  void* user;
};

// Whether the next callback of the request is due: the last one answered and did not end the solve
// (a callback may call talvir_stop; no callback follows then).
bool next_due(const talvir_solver& s, int rc) {
  return rc == TALVIR_CALLBACK_OK && s.phase == Phase::awaiting;
}

// Answers the pending request at the solver's point; returns the first result that is not
// TALVIR_CALLBACK_OK, or TALVIR_CALLBACK_OK. The callbacks write into the evaluation arrays.
int answer(talvir_solver& s, const Callbacks& cb) {
  const double* x = nullptr;
  double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
  talvir_evaluation_arrays(&s, &x, &f, &g, &c, &jac);
  const int m = talvir_api::caller_m(s), nnz = talvir_api::caller_nnz(s);
  if (cb.evaluate != nullptr) return cb.evaluate(s.request, s.n, m, nnz, x, f, c, g, jac, cb.user);
  int rc = TALVIR_CALLBACK_OK;
  if (s.request & TALVIR_REQUEST_VALUES) {
    rc = cb.objective(s.n, x, f, cb.user);
    if (next_due(s, rc) && m > 0) rc = cb.constraints(s.n, m, x, c, cb.user);
  }
  if (next_due(s, rc) && (s.request & TALVIR_REQUEST_DERIVATIVES)) {
    rc = cb.gradient(s.n, x, g, cb.user);
    if (next_due(s, rc) && m > 0) rc = cb.jacobian(s.n, m, nnz, x, jac, cb.user);
  }
  return rc;
}

// The evaluate form seen as the four callbacks, for the derivative checker.
struct Combined {
  const Callbacks* cb;
  int m, nnz;
  std::vector<double> f, c, g, jac;  // scratch for the parts not asked for
};
int combined_objective(int n, const double* x, double* f, void* u) {
  auto& k = *static_cast<Combined*>(u);
  return k.cb->evaluate(TALVIR_REQUEST_VALUES, n, k.m, k.nnz, x, f, k.m > 0 ? k.c.data() : nullptr,
                        k.g.data(), k.m > 0 ? k.jac.data() : nullptr, k.cb->user);
}
int combined_constraints(int n, int m, const double* x, double* c, void* u) {
  auto& k = *static_cast<Combined*>(u);
  return k.cb->evaluate(TALVIR_REQUEST_VALUES, n, m, k.nnz, x, k.f.data(), c, k.g.data(), k.jac.data(),
                        k.cb->user);
}
int combined_gradient(int n, const double* x, double* g, void* u) {
  auto& k = *static_cast<Combined*>(u);
  return k.cb->evaluate(TALVIR_REQUEST_DERIVATIVES, n, k.m, k.nnz, x, k.f.data(),
                        k.m > 0 ? k.c.data() : nullptr, g, k.m > 0 ? k.jac.data() : nullptr, k.cb->user);
}
int combined_jacobian(int n, int m, int nnz, const double* x, double* jac, void* u) {
  auto& k = *static_cast<Combined*>(u);
  return k.cb->evaluate(TALVIR_REQUEST_DERIVATIVES, n, m, nnz, x, k.f.data(), k.c.data(), k.g.data(), jac,
                        k.cb->user);
}

void report_line(int row, int column, double given, double estimated, double error, void* u) {
  char text[200];
  std::snprintf(text, sizeof text, "  %s %d, variable %d: given % .6e, estimated % .6e, error %.2e\n",
                row < 0 ? "gradient" : "constraint", row < 0 ? 0 : row, column, given, estimated, error);
  talvir_api::to_sink(*static_cast<talvir_solver*>(u), text);
}

// "CheckDerivatives": the checker at the start point (moved into its bounds) before a new solve, its
// findings to the listing sink.
void check_at_start(talvir_solver& s, const Callbacks& cb) {
  std::vector<double> x(s.start.begin(), s.start.end());
  for (int i = 0; i < s.n; ++i) x[i] = std::min(std::max(x[i], s.lower[i]), s.upper[i]);
  const int m = talvir_api::caller_m(s), nnz = talvir_api::caller_nnz(s);
  Combined k{
      &cb, m, nnz, {0.0}, std::vector<double>(m + 1), std::vector<double>(s.n), std::vector<double>(nnz + 1)};
  const bool combined = cb.evaluate != nullptr;
  int bad = 0;
  talvir_api::to_sink(s, "derivative check at the start point (tolerance 1e-4):\n");
  talvir_check_derivatives(
      &s, combined ? combined_objective : cb.objective, combined ? combined_constraints : cb.constraints,
      combined ? combined_gradient : cb.gradient, combined ? combined_jacobian : cb.jacobian,
      combined ? static_cast<void*>(&k) : cb.user, x.data(), 1e-4, report_line, &s, &bad);
  char text[120];
  std::snprintf(text, sizeof text, "%d entries beyond the tolerance\n", bad);
  talvir_api::to_sink(s, text);
}

bool missing_callback(const talvir_solver& s, const Callbacks& cb) {
  if (cb.evaluate != nullptr) return false;
  return cb.objective == nullptr || cb.gradient == nullptr ||
         (talvir_api::caller_m(s) > 0 && (cb.constraints == nullptr || cb.jacobian == nullptr));
}

// The loop of both drivers, for `function`.
int run(talvir_solver& s, const Callbacks& cb, const char* function) {
  if (missing_callback(s, cb)) {
    return fail(&s, TALVIR_ERROR_MISSING_CALLBACK,
                "%s: the objective and gradient callbacks are needed, and with constraints (m = %d) the "
                "constraints and jacobian callbacks too (or one evaluate callback)",
                function, talvir_api::caller_m(s));
  }
  if (const int refused = talvir_api::refuse_in_listing(&s, function)) return refused;
  if (s.in_callback)
    return fail(&s, TALVIR_ERROR_OUT_OF_ORDER, "%s: called from one of its own callbacks", function);
  int request = s.request;
  if (s.phase != Phase::awaiting) {
    constexpr std::int32_t kCheck = talvir_api::native_index("CheckDerivatives");  // by index: every solve
    static_assert(kCheck >= 0, "the native parameters exist");
    if (s.parameters[kCheck].value.integer.value != 0) check_at_start(s, cb);
    const int status = talvir_step(&s, &request);
    if (status != TALVIR_OK) return status;
  }
  while (request != TALVIR_REQUEST_NONE) {
    s.in_callback = true;
    const int rc = answer(s, cb);
    s.in_callback = false;
    if (s.phase != Phase::awaiting) return succeed(&s);  // a callback called talvir_stop
    if (rc == TALVIR_CALLBACK_CANNOT_EVALUATE) {
      s.cannot_evaluate = true;
    } else if (rc != TALVIR_CALLBACK_OK) {
      return talvir_stop(&s);
    }
    const int status = talvir_step(&s, &request);
    if (status != TALVIR_OK) return status;
  }
  return succeed(&s);
}

}  // namespace

extern "C" {

TALVIR_API int talvir_solve(talvir_solver* s, talvir_objective_fn objective,
                            talvir_constraints_fn constraints, talvir_gradient_fn gradient,
                            talvir_jacobian_fn jacobian, void* user) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  return run(*s, {objective, constraints, gradient, jacobian, nullptr, user}, "talvir_solve");
}

TALVIR_API int talvir_solve_with(talvir_solver* s, const talvir_callbacks* given) {
  if (s == nullptr || given == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (given->size < offsetof(talvir_callbacks, user) + sizeof(void*)) {
    return fail(s, TALVIR_ERROR_BAD_VALUE,
                "talvir_solve_with: size %lu is too small (set it to sizeof(talvir_callbacks))",
                static_cast<unsigned long>(given->size));
  }
  const Callbacks cb{given->objective, given->constraints, given->gradient,
                     given->jacobian,  given->evaluate,    given->user};
  if (cb.evaluate != nullptr && (cb.objective || cb.constraints || cb.gradient || cb.jacobian)) {
    return fail(s, TALVIR_ERROR_BAD_VALUE,
                "talvir_solve_with: give either evaluate or the four callbacks, not both");
  }
  return run(*s, cb, "talvir_solve_with");
}

}  // extern "C"
