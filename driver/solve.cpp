// The Solve operation (contract in driver/solve.h).
#include "driver/solve.h"

#include <cstdlib>

#include "services/VEKServices.h"

namespace vek::driver {

std::int32_t solve_call(SolveState& /*state*/, NLPProblem& /*problem*/, MessageSink* /*sink*/,
                        std::int32_t /*mode*/, EvaluationBlock** /*block*/, std::int32_t* /*counter*/,
                        std::int32_t* /*request*/) {
  return kNotAvailable;  // the solve driver arrives with the engine
}

void release_solve_state(SolveState& state) {
  std::free(state.block.host_data);
  state.block.host_data = nullptr;
  if (state.listing_file != nullptr) VEKServices::DeleteTemporaryFileName(state.listing_file);
}

}  // namespace vek::driver
