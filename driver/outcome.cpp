// The outcome table: one place that maps the engine's final cycle flag to a result and a message.
#include "driver/outcome.h"

#include <cstdio>

#include "plugin/interfaces.h"

namespace vek::driver {
namespace {

constexpr const char* kLineSearchMessage =
    "Line search required %d calls - Solution Not Found.\nTry increasing the maximum number of line "
    "searches\n";
constexpr const char* kUnknownFlagMessage =
    "A completely unknown Cycle Flag has come back in the Optimizer....\n";

// Messages for cycle flags 2 to 10; null marks the line-search message, which needs the limit.
constexpr const char* kMessages[] = {
    "Maximum number of iterations reached - Solution Not Found.\n",  // 2
    nullptr,                                                         // 3
    "Search direction uphill - Solution Not Found.\n",               // 4
    nullptr,                                                         // 5
    "Problem unbounded - Solution Not Found.\n",                     // 6
    "Workspace allocation error - Optimiser Failed.\n",              // 7
    "Illegal Values - Optimiser Failed.\n",                          // 8
    "Constraint types not applicable - Optimiser Failed.\n",         // 9
    "QP Failure - Optimiser Failed.\n",                              // 10
};
constexpr std::int32_t kFirstFailure = 2;
constexpr std::int32_t kLastKnown = 10;

}  // namespace

std::int32_t outcome_result(std::int32_t INF) {
  if (INF == -1 || INF == -2) return kCallAgain;
  if (INF >= kFirstFailure) return kSolveFailed;
  return kOk;
}

std::string outcome_message(std::int32_t INF, std::int32_t MAXLS) {
  if (INF < kFirstFailure) return {};
  if (INF > kLastKnown) return kUnknownFlagMessage;
  const char* message = kMessages[INF - kFirstFailure];
  if (message != nullptr) return message;
  char text[160];
  std::snprintf(text, sizeof text, kLineSearchMessage, MAXLS);
  return text;
}

}  // namespace vek::driver
