// One solve of an NlModel through the native API (talvir.h): the solver is made with the model's
// sizes, row kinds, bounds, start point and column-wise Jacobian structure, the parameters asked for
// are set by name, and its reverse-communication requests are answered by the evaluation glue.
//
// solve_nl(model, options, solution)
//   A values request that ASL cannot evaluate is answered "cannot evaluate here" (the solver cuts the
//   step); at the start point, or for derivatives, the solve then ends with kStartNotEvaluable or
//   kDerivativesNotEvaluable, and `detail` names what failed. The listing goes to standard output when
//   options.outlev >= 2 (with "PrintLevel" Normal unless the options set it).
//   Returns false, with `detail`, when the solver refuses the set-up (a parameter value, no memory);
//   the ending is then kBadOptions or kSolverError.
#pragma once

#include <string>
#include <vector>

#include "ampl/endings.h"
#include "ampl/nl_model.h"
#include "ampl/options.h"

namespace talvir::ampl {

struct NlSolution {
  Ending ending = Ending::kSolverError;
  std::string detail;          // the solver's ending message, or what failed
  std::vector<double> x;       // n values: the final point (the start point when no solve ran)
  std::vector<double> lambda;  // engine-row multipliers, Lagrangian sense*f - sum lambda_j c_j
  double objective = 0.0;      // f at x in the model's own sense (0 without an objective)
  double violation = 0.0;      // largest row or bound violation at x
  int iterations = 0;
  int value_evaluations = 0;
  int derivative_evaluations = 0;
  double seconds = 0.0;  // the whole solve, evaluations included
};

bool solve_nl(NlModel& model, const AmplOptions& options, NlSolution& solution);

// AMPL's constraint duals from the engine-row multipliers: y_i = sense * sum over the rows of
// constraint i of (+1 for a lower or equality row, -1 for an upper row) * lambda_row, so that
// grad f = sum_i y_i grad c_i + (bound terms) in the model's own sense; 0 for a free row.
std::vector<double> ampl_duals(const NlModel& model, const std::vector<double>& lambda);

}  // namespace talvir::ampl
