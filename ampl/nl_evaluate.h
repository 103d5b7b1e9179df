// The evaluation glue between ASL and the solver: values and derivatives of an NlModel in the solver's
// form (objective times sense, engine rows, engine Jacobian order), with ASL's error handling.
//
// evaluate_functions(model, x, f, c)      f = sense * f(x) (0 without an objective); c[0..m) the
//                                         engine rows. False when ASL reports an evaluation error
//                                         (e.g. log of a negative number): x cannot be evaluated
// evaluate_derivatives(model, x, g, jac)  g[0..n) the gradient of sense * f (zeros without an
//                                         objective); jac[0..nnz) the engine Jacobian values in
//                                         model.jac_row / jac_col order. False on an evaluation error
// failing_function(model, x)              names what cannot be evaluated at x: "the objective",
//                                         "constraint NAME" (ASL's name, from stub.row when present),
//                                         or "" when everything evaluates
// Each call adds to the model's counts and evaluation time. ASL never ends the process here: every
// evaluation passes an error flag, so ASL reports errors instead of printing and exiting.
#pragma once

#include <string>

#include "ampl/nl_model.h"

namespace talvir::ampl {

bool evaluate_functions(NlModel& model, const double* x, double& f, double* c);
bool evaluate_derivatives(NlModel& model, const double* x, double* g, double* jac);
std::string failing_function(NlModel& model, const double* x);

}  // namespace talvir::ampl
