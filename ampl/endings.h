// Every way an AMPL solve can end, with its solve_result_num and the text of the solution message.
// This one table is the AMPL door's ending table (docs/ampl.md shows it); AMPL's bands:
//   0-99 solved, 200-299 infeasible, 300-399 unbounded, 400-499 a limit reached, 500-599 failure.
//
// ending_info(ending) gives the row of `ending`; every Ending has exactly one row.
#pragma once

namespace talvir::ampl {

enum class Ending {
  kOptimal,                  // converged with an objective: a local minimiser (maximiser)
  kFeasible,                 // converged without an objective: a feasible point
  kLinearisedInfeasible,     // the linearised constraints could not be satisfied
  kLocallyInfeasible,        // robust strategy: no step reduces the violation any further
  kUnbounded,                // the objective is unbounded (below when minimising, above when maximising)
  kIterationLimit,           // maxit iterations done
  kLineSearchLimit,          // no acceptable step within MaxLineSearches evaluations
  kTimeLimit,                // TimeLimit (timelim) seconds passed
  kEvaluationLimit,          // MaxEvaluations (maxfev) evaluations made
  kUphill,                   // the search direction is uphill for the penalty function
  kWorkspace,                // the solver's arrays could not be made
  kIllegalValues,            // non-finite values or derivatives at the start, or unusable bounds
  kQpFailure,                // the QP subproblem failed
  kSolverError,              // any other ending the solver reports
  kStartNotEvaluable,        // the functions cannot be evaluated at the start point
  kDerivativesNotEvaluable,  // the derivatives cannot be evaluated at an accepted point
  kIntegerModel,             // refused: integer or binary variables
  kComplementarity,          // refused: complementarity conditions
  kUnsupportedModel,         // refused: logical constraints, no variables
  kBadObjno,                 // objno names no objective of the model
  kBadOptions,               // a keyword or value was refused
  kCorruptFile,              // the body of the .nl file could not be read
};

struct EndingInfo {
  Ending ending;
  int code;          // solve_result_num
  const char* text;  // begins the solution message, after "TALVIR x.y.z: "
};

const EndingInfo& ending_info(Ending ending);

// All rows, in table order (for the documentation test).
const EndingInfo* ending_table(int& count);

}  // namespace talvir::ampl
