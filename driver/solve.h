// The reverse-communication Solve operation of a solver component.
//
// solve_call(state, problem, sink, mode, block, counter, request):
//   mode     in   0 or 3: start a solve from the problem's current point; anything else continues it.
//                 3, 4, 5 form the variant family (request 110 / 6 instead of 111 / 7 / 105).
//   block    out  receives the address of state.block at every call
//   counter  out  set to 0 by a start call; every engine call adds 1
//   request  out  111/110 after a start call; 7 (6) for function values; 105 (6) for derivatives;
//                 0 when the solve has ended
// Returns 1 (evaluate as requested and call again), 0 (converged, or ended without an engine error
// code), -8 (the engine ended with an error: the outcome message has been written to the sink), or -15
// when the call is refused before anything runs: a null block, counter or request pointer; a continuing
// call before any start call; sizes that differ from those the arrays were made for, or that cannot
// make arrays, or whose arrays do not fit in memory (nothing is kept then); an equality count that
// differs from the constraints' "MathType" 0 (nothing is kept); null Jacobian structure arrays or an
// entry outside 1..M x 1..N (at a start call the structure is then asked for again at the next one).
// The engine runs on the state's own record, so several components' solves may alternate.
// A refusal writes a message to the sink
// (except for null pointers when there is nowhere to say it), touches no array and ends the solve.
//
// release_solve_state(state): frees the host's word in the block, gives the listing file name back.
//
// outcome_result(INF): the return code for the engine's cycle flag, from the core's outcome table
// (core/outcome.h): 1 (kCallAgain) for -1 / -2, -8 (kSolveFailed) for 2 and above, 0 (kOk) otherwise.
//
// SolveState is the core's solve state (core/solve_state.h) with what the protocol adds: the
// EvaluationBlock handed to the host, whose gradient, constraints and Jacobian pointers are the core's
// evaluation arrays and whose objective is taken into the core's record before every engine call; the
// spare gradient array; the listing file; the constraint kinds of the first start call and how far the
// start calls have come. Every field is zero, null or empty when the component is created.
#pragma once

#include <cstdint>
#include <vector>

#include "core/solve_state.h"
#include "driver/host_interfaces.h"
#include "driver/listing.h"

namespace vek::driver {

struct SolveState : core::SolveState {
  EvaluationBlock block{};
  std::vector<double> block_gradient_spare;  // N + 1, behind block.gradient_spare; never read
  ListingFile listing;                       // the temporary listing file and how unit 7 was connected to it
  std::vector<std::int32_t> first_kinds;     // KTYPE as mapped at the first start call
  bool arrays_made = false;                  // set by the first start call
  bool structure_read = false;               // Jacobian index arrays obtained
};

std::int32_t solve_call(SolveState& state, NLPProblem& problem, MessageSink* sink, std::int32_t mode,
                        EvaluationBlock** block, std::int32_t* counter, std::int32_t* request);

void release_solve_state(SolveState& state);

std::int32_t outcome_result(std::int32_t INF);

}  // namespace vek::driver
