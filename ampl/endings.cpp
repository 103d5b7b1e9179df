// The AMPL door's ending table. Contract in ampl/endings.h.
#include "ampl/endings.h"

namespace talvir::ampl {
namespace {

constexpr EndingInfo kEndings[] = {
    {Ending::kOptimal, 0, "Locally optimal solution found"},
    {Ending::kFeasible, 1, "Feasible point found (the model has no objective)"},
    {Ending::kLinearisedInfeasible, 200,
     "The linearised constraints could not be satisfied: the problem may be infeasible"},
    {Ending::kLocallyInfeasible, 201, "Locally infeasible: no step reduces the constraint violation"},
    {Ending::kUnbounded, 300, "The objective is unbounded"},
    {Ending::kIterationLimit, 400, "Iteration limit reached"},
    {Ending::kLineSearchLimit, 401,
     "Line search limit reached: no acceptable step within MaxLineSearches evaluations"},
    {Ending::kTimeLimit, 402, "Time limit reached"},
    {Ending::kEvaluationLimit, 403, "Evaluation limit reached"},
    {Ending::kUphill, 500, "Search direction uphill for the penalty function (loss of accuracy in the QP)"},
    {Ending::kWorkspace, 501, "The solver's workspace could not be allocated"},
    {Ending::kIllegalValues, 502,
     "Illegal values: a non-finite value or derivative at the start, or bad bounds"},
    {Ending::kQpFailure, 503, "The QP subproblem failed"},
    {Ending::kSolverError, 504, "The solver failed"},
    {Ending::kStartNotEvaluable, 510, "Cannot evaluate the model at the start point"},
    {Ending::kDerivativesNotEvaluable, 511, "Cannot evaluate the derivatives at an accepted point"},
    {Ending::kIntegerModel, 520, "Integer variables are not supported"},
    {Ending::kComplementarity, 521, "Complementarity conditions are not supported"},
    {Ending::kUnsupportedModel, 522, "The model cannot be solved by this solver"},
    {Ending::kBadObjno, 530, "Bad objno"},
    {Ending::kBadOptions, 531, "Bad option"},
    {Ending::kCorruptFile, 540, "The .nl file could not be read"},
};

}  // namespace

const EndingInfo& ending_info(Ending ending) {
  for (const EndingInfo& row : kEndings)
    if (row.ending == ending) return row;
  return kEndings[sizeof(kEndings) / sizeof(kEndings[0]) - 1];
}

const EndingInfo* ending_table(int& count) {
  count = static_cast<int>(sizeof(kEndings) / sizeof(kEndings[0]));
  return kEndings;
}

}  // namespace talvir::ampl
