// The outcome table: one place that maps the engine's final cycle flag to the plug-in's outcome and
// message and to the native API's ending, message and category (contracts in core/outcome.h).
#include "core/outcome.h"

#include <cstdio>

namespace vek::core {
namespace {

constexpr const char* kLineSearchMessage =
    "Line search required %d calls - Solution Not Found.\nTry increasing the maximum number of line "
    "searches\n";
constexpr const char* kUnknownFlagMessage =
    "A completely unknown Cycle Flag has come back in the Optimizer....\n";

// One row per ending. `host` is the plug-in's message (null: none, or the line search message, which
// needs the limit); `caller` the native API's, whose "%d" takes the row's number (the iteration limit
// for 2, the line search limit for 3 and 5).
struct OutcomeRow {
  std::int32_t ending;
  const char* host;
  const char* caller;
  EndingCategory category;
};

constexpr OutcomeRow kOutcomes[] = {
    {kEndingNone, nullptr, "", EndingCategory::none},
    {1, nullptr, "Converged: the convergence test holds at the final point.", EndingCategory::solved},
    {2, "Maximum number of iterations reached - Solution Not Found.\n",
     "Iteration limit reached: %d iterations (MaxIterations) - solution not found.", EndingCategory::limit},
    {3, nullptr,
     "The line search made %d evaluations (MaxLineSearches) without finding an acceptable step - solution "
     "not found; the final point is the start of that line search.",
     EndingCategory::limit},
    {4, "Search direction uphill - Solution Not Found.\n",
     "The search direction does not decrease the penalty function (usually a loss of accuracy in the QP "
     "subproblem) - solution not found.",
     EndingCategory::failure},
    {5, nullptr,
     "The line search made %d evaluations (MaxLineSearches) without finding an acceptable step - solution "
     "not found; the final point is the start of that line search.",
     EndingCategory::limit},
    {6, "Problem unbounded - Solution Not Found.\n",
     "The linearised constraints are inconsistent (the QP relaxation variable fell below 1e-4): the "
     "constraints may be locally infeasible - solution not found.",
     EndingCategory::infeasible},
    {7, "Workspace allocation error - Optimiser Failed.\n",
     "The engine found a workspace too short - solver failed (a fault of the library).",
     EndingCategory::failure},
    {8, "Illegal Values - Optimiser Failed.\n",
     "The engine refused its arguments (illegal values) - solver failed.", EndingCategory::failure},
    {9, "Constraint types not applicable - Optimiser Failed.\n",
     "The engine refused a constraint kind - solver failed.", EndingCategory::failure},
    {10, "QP Failure - Optimiser Failed.\n",
     "The QP subproblem solver failed (equality constraint gradients linearly dependent, or its workspace) "
     "- solver failed.",
     EndingCategory::failure},
    {kEndingUnknown, kUnknownFlagMessage,
     "The engine ended with a cycle flag the library does not know - solver failed (a fault of the library).",
     EndingCategory::failure},
    {kEndingStopped, nullptr, "Stopped at the caller's request.", EndingCategory::stopped},
    {kEndingUnbounded, nullptr,
     "The objective is unbounded below: a variable reached 1e20 in magnitude (no bound) or the objective "
     "-1e20 - solution not found.",
     EndingCategory::unbounded},
    {kEndingLocallyInfeasible, nullptr,
     "Locally infeasible: no step reduces the constraint violation further (robust strategy); the point "
     "returned is where the violation is least - solution not found.",
     EndingCategory::infeasible},
    {kEndingTimeLimit, nullptr,
     "Time limit reached (TimeLimit) - solution not found; the final point is the last accepted one.",
     EndingCategory::limit},
    {kEndingEvaluationLimit, nullptr,
     "Evaluation limit reached (MaxEvaluations) - solution not found; the final point is the last accepted "
     "one.",
     EndingCategory::limit},
    {kEndingEvaluationFailed, nullptr,
     "The functions could not be evaluated at the start point, or the derivatives at an accepted point - "
     "solver failed.",
     EndingCategory::failure},
};

const OutcomeRow* row_of(std::int32_t ending) {
  for (const OutcomeRow& row : kOutcomes) {
    if (row.ending == ending) return &row;
  }
  return nullptr;
}

std::string with_number(const char* format, std::int32_t number) {
  char text[400];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

constexpr std::int32_t kFirstFailure = 2;
constexpr std::int32_t kLastKnown = 10;

}  // namespace

FlagOutcome flag_outcome(std::int32_t INF) {
  if (INF == -1 || INF == -2) return FlagOutcome::goes_on;
  if (INF >= kFirstFailure) return FlagOutcome::failed;
  return FlagOutcome::ended;
}

std::string outcome_message(std::int32_t INF, std::int32_t MAXLS) {
  if (INF < kFirstFailure) return {};
  if (INF > kLastKnown) return kUnknownFlagMessage;
  const char* message = row_of(INF)->host;
  return message != nullptr ? message : with_number(kLineSearchMessage, MAXLS);
}

std::int32_t ending_of_flag(std::int32_t INF, bool unbounded, bool locally_infeasible) {
  if (INF == 5) return 3;
  if (INF == 6 && unbounded) return kEndingUnbounded;
  if (INF == 6 && locally_infeasible) return kEndingLocallyInfeasible;
  return INF >= 1 && INF <= kLastKnown ? INF : kEndingUnknown;
}

const char* ending_text(std::int32_t ending) {
  if (ending == 5) return nullptr;  // the engine's flag 5 is reported as the ending 3
  const OutcomeRow* row = row_of(ending);
  return row != nullptr ? row->caller : nullptr;
}

std::string ending_message(std::int32_t ending, std::int32_t MAXIT, std::int32_t MAXLS) {
  const char* text = ending_text(ending);
  if (text == nullptr) return {};
  if (ending == 2) return with_number(text, MAXIT);
  if (ending == 3 || ending == 5) return with_number(text, MAXLS);
  return text;
}

EndingCategory ending_category(std::int32_t ending) {
  const OutcomeRow* row = row_of(ending);
  return row != nullptr ? row->category : EndingCategory::none;
}

}  // namespace vek::core
