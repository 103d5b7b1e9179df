// The outcome of a finished solve, by the engine's final cycle flag INF: one table for both doors, as
// plain data (codes and texts); each door maps it to its own return codes.
//
// The plug-in's protocol (its documented texts, which hosts may rely on):
//   flag_outcome(INF)                 FlagOutcome::goes_on for -1 / -2 (the engine asks for values),
//                                     FlagOutcome::failed for 2 and above (an ending with a message),
//                                     FlagOutcome::ended otherwise (1 is convergence; 0 and values
//                                     below -2 end without a message)
//   outcome_message(INF, MAXLS)       the message for INF >= 2, with the line search limit MAXLS in
//                                     place of %d for 3 and 5; empty for any other INF
// Native API (endings that say accurately what happened; cycle flag 6 is an infeasible linearisation):
//   ending_of_flag(INF, unbounded)    the ending for a final cycle flag: 1..4 and 6..10 as they are, 5 as
//                                     3, anything else kEndingUnknown; 6 is kEndingUnbounded when the
//                                     engine record says the problem is unbounded (MxiterState::unbounded),
//                                     kEndingLocallyInfeasible when it says the point is locally
//                                     infeasible (the robust strategy's RobustState::locally_infeasible)
//   ending_text(ending)               the ending's message with its number left as "%d" ("" for none,
//                                     null for a code that is no ending, 5 included)
//   ending_message(ending, MAXIT, MAXLS)  the message with the iteration or line search limit in place
//   ending_category(ending)           what kind of ending it is (EndingCategory::none for unknown codes)
#pragma once

#include <cstdint>
#include <string>

namespace vek::core {

// Endings beyond the engine's cycle flags.
inline constexpr std::int32_t kEndingNone = 0;
inline constexpr std::int32_t kEndingUnknown = 11;            // a final cycle flag the table does not know
inline constexpr std::int32_t kEndingStopped = 20;            // the caller stopped the solve
inline constexpr std::int32_t kEndingEvaluationFailed = 21;   // the functions could not be evaluated
inline constexpr std::int32_t kEndingUnbounded = 22;          // the objective is unbounded below
inline constexpr std::int32_t kEndingLocallyInfeasible = 23;  // no step reduces the violation
inline constexpr std::int32_t kEndingTimeLimit = 24;          // the solve took its time limit
inline constexpr std::int32_t kEndingEvaluationLimit = 25;    // the solve made its evaluation limit

enum class EndingCategory : std::int32_t {
  none = 0,
  solved = 1,
  limit = 2,
  infeasible = 3,
  failure = 4,
  stopped = 5,
  unbounded = 6
};

enum class FlagOutcome { goes_on, ended, failed };

FlagOutcome flag_outcome(std::int32_t INF);
std::string outcome_message(std::int32_t INF, std::int32_t MAXLS);

std::int32_t ending_of_flag(std::int32_t INF, bool unbounded = false, bool locally_infeasible = false);
const char* ending_text(std::int32_t ending);
std::string ending_message(std::int32_t ending, std::int32_t MAXIT, std::int32_t MAXLS);
EndingCategory ending_category(std::int32_t ending);

}  // namespace vek::core
