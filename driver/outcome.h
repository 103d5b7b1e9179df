// The outcome of a finished solve: the result of Solve and the message for the host, by the engine's
// final cycle flag INF.
//
//   outcome_result(INF)               1 for -1 / -2 (the solve goes on), -8 for 2 and above, 0 otherwise
//                                     (1 is convergence; 0 and values below -2 end without a message)
//   outcome_message(INF, MAXLS)       the message for INF >= 2, with the line search limit MAXLS in
//                                     place of %d for 3 and 5; empty for any other INF
#pragma once

#include <cstdint>
#include <string>

namespace vek::driver {

std::int32_t outcome_result(std::int32_t INF);
std::string outcome_message(std::int32_t INF, std::int32_t MAXLS);

}  // namespace vek::driver
