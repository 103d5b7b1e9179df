// The callback driver talvir_solve: the reverse-communication loop of talvir_step, each request answered
// by the caller's callbacks (contract in include/talvir/talvir.h).
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
  void* user;
};

// Answers the pending request at the solver's point; returns the first result that is not
// TALVIR_CALLBACK_OK, or TALVIR_CALLBACK_OK. The callbacks write into the evaluation arrays.
int answer(talvir_solver& s, const Callbacks& cb) {
  const double* x = nullptr;
  double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
  talvir_evaluation_arrays(&s, &x, &f, &g, &c, &jac);
  const int nnz = static_cast<int>(s.rows1.size());
  int rc = TALVIR_CALLBACK_OK;
  if (s.request & TALVIR_REQUEST_VALUES) {
    rc = cb.objective(s.n, x, f, cb.user);
    if (rc == TALVIR_CALLBACK_OK && s.m > 0) rc = cb.constraints(s.n, s.m, x, c, cb.user);
  }
  if (rc == TALVIR_CALLBACK_OK && (s.request & TALVIR_REQUEST_DERIVATIVES)) {
    rc = cb.gradient(s.n, x, g, cb.user);
    if (rc == TALVIR_CALLBACK_OK && s.m > 0) rc = cb.jacobian(s.n, s.m, nnz, x, jac, cb.user);
  }
  return rc;
}

}  // namespace

extern "C" {

TALVIR_API int talvir_solve(talvir_solver* s, talvir_objective_fn objective,
                            talvir_constraints_fn constraints, talvir_gradient_fn gradient,
                            talvir_jacobian_fn jacobian, void* user) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  if (objective == nullptr || gradient == nullptr ||
      (s->m > 0 && (constraints == nullptr || jacobian == nullptr))) {
    return fail(
        s, TALVIR_ERROR_MISSING_CALLBACK,
        "talvir_solve: the objective and gradient callbacks are needed, and with constraints (m = %d) the "
        "constraints and jacobian callbacks too",
        s->m);
  }
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_solve")) return refused;
  if (s->in_callback)
    return fail(s, TALVIR_ERROR_OUT_OF_ORDER, "talvir_solve: called from one of its own callbacks");
  const Callbacks cb{objective, constraints, gradient, jacobian, user};
  int request = s->request;
  if (s->phase != Phase::awaiting) {
    const int status = talvir_step(s, &request);
    if (status != TALVIR_OK) return status;
  }
  while (request != TALVIR_REQUEST_NONE) {
    s->in_callback = true;
    const int rc = answer(*s, cb);
    s->in_callback = false;
    if (s->phase != Phase::awaiting) return succeed(s);  // a callback called talvir_stop
    if (rc == TALVIR_CALLBACK_CANNOT_EVALUATE) {
      s->cannot_evaluate = true;
    } else if (rc != TALVIR_CALLBACK_OK) {
      return talvir_stop(s);
    }
    const int status = talvir_step(s, &request);
    if (status != TALVIR_OK) return status;
  }
  return succeed(s);
}

}  // extern "C"
