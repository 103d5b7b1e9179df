// The Solve operation: start and continuing calls, the EvaluationBlock over the core's evaluation record,
// the engine call and the request codes (contract in driver/solve.h).
#include "driver/solve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "core/engine_run.h"
#include "core/outcome.h"
#include "driver/listing.h"
#include "engine/MIRAX.h"
#include "engine/MxiterState.h"
#include "plugin/SolverFactory.h"
#include "plugin/parameters.h"
#include "services/VEKServices.h"

namespace vek::driver {
namespace {

constexpr const char* kNullArgument =
    "VEKTALVIR Error:Solve called with a null block, counter or request address\n";
constexpr const char* kNoStart =
    "VEKTALVIR Error:Solve continued before any start call - call it with mode 0 or 3 first\n";

// Sizes read from the problem at every call.
struct Sizes {
  std::int32_t N = 0, equalities = 0, inequalities = 0, nnz = 0;
  long long M() const { return static_cast<long long>(equalities) + inequalities; }  // may pass 32 bits
};

Sizes read_sizes(NLPProblem& problem) {
  Sizes s;
  s.N = problem.GetNumVariables();
  s.equalities = problem.GetNumEqualities();
  s.inequalities = problem.GetNumInequalities();
  std::int32_t unused = 0;
  problem.GetStructureCounts(&unused, &s.nnz);
  return s;
}

bool is_start(std::int32_t mode) {
  return mode == 0 || mode == 3;
}
bool is_variant(std::int32_t mode) {
  return mode >= 3 && mode <= 5;
}

std::int32_t refuse(SolveState& state, MessageSink* sink, const std::string& message) {
  say(sink, message.c_str());
  remove_listing(state.listing);
  return kNotAvailable;
}

// A message when the sizes cannot make arrays, or differ from those the arrays were made for; else empty.
std::string size_fault(const SolveState& state, const Sizes& s) {
  char text[256];
  if (state.arrays_made) {
    if (s.N == state.N && s.M() == state.M && s.nnz == state.nnz) return {};
    std::snprintf(
        text, sizeof text,
        "VEKTALVIR Error:problem sizes changed since the first start call (N = %d, M = %lld, nnz = %d; "
        "the solver was set up for N = %d, M = %d, nnz = %d)\n",
        s.N, s.M(), s.nnz, state.N, state.M, state.nnz);
    return text;
  }
  if (core::engine_sizes_usable(s.N, s.equalities, s.inequalities, s.nnz)) return {};
  std::snprintf(text, sizeof text,
                "VEKTALVIR Error:problem sizes not usable (variables %d, equalities %d, inequalities %d, "
                "Jacobian entries %d)\n",
                s.N, s.equalities, s.inequalities, s.nnz);
  return text;
}

// KTYPE from the host's "MathType" 0..4; any other value (or none written) becomes 2, a kind the engine
// refuses, so that the host is told "Constraint types not applicable".
std::int32_t constraint_kind(std::int32_t math_type) {
  if (math_type == 0) return 0;
  if (math_type == 1 || math_type == 2) return -1;
  if (math_type == 3 || math_type == 4) return 1;
  return 2;
}

// A message when GetNumEqualities disagrees with the number of "MathType" 0 constraints (the workspace
// lengths rest on it); empty when they agree. A kind outside 0..4 is left to the engine, which names it.
std::string kinds_fault(const SolveState& st) {
  std::int32_t zeros = 0;
  for (std::int32_t i = 0; i < st.M; ++i) {
    if (st.KTYPE[i] == 2) return {};
    zeros += st.KTYPE[i] == 0;
  }
  if (zeros == st.ME) return {};
  char text[240];
  std::snprintf(text, sizeof text,
                "VEKTALVIR Error:GetNumEqualities gives %d equalities but %d of the %d constraints have "
                "\"MathType\" 0\n",
                st.ME, zeros, st.M);
  return text;
}

// The block the host writes into: its arrays are the core's evaluation arrays and the spare. False, with
// nothing kept, when memory is short.
bool make_block(SolveState& st) {
  try {
    st.block_gradient_spare.assign(st.N + 1, 0.0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  core::EvaluationRecord& e = st.evaluation;
  st.block.host_data = nullptr;
  st.block.gradient = e.gradient.data();
  st.block.gradient_spare = st.block_gradient_spare.data();
  st.block.constraints = e.constraints.data();
  st.block.jacobian = e.jacobian.data();
  return true;
}

// Frees the engine's arrays and the block's; the block's pointers become null.
void drop_arrays(SolveState& st) {
  core::drop_engine_arrays(st);
  std::vector<double>().swap(st.block_gradient_spare);
  st.block.gradient = st.block.gradient_spare = st.block.constraints = st.block.jacobian = nullptr;
}

// The engine's arrays and the block for these sizes; false, with nothing kept, when memory is short.
bool make_engine_and_block(SolveState& st, const Sizes& s) {
  // size_fault has kept M within 32 bits.
  if (!core::make_engine_arrays(st, s.N, s.equalities, static_cast<std::int32_t>(s.M()), s.nnz)) return false;
  if (make_block(st)) return true;
  drop_arrays(st);
  return false;
}

// The arrays of step 3 at the first start call, then the constraint kinds. Empty on success; a message
// when memory is short or the kinds disagree with the equality count, with nothing kept.
std::string make_arrays(SolveState& st, const Sizes& s, NLPProblem& problem) {
  if (!make_engine_and_block(st, s)) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "VEKTALVIR Error:not enough memory for the solver's arrays (variables %d, constraints %d, "
                  "Jacobian entries %d)\n",
                  s.N, static_cast<int>(s.M()), s.nnz);
    return text;
  }
  for (std::int32_t i = 0; i < st.M; ++i) {
    std::int32_t math_type = -1;
    problem.GetConstraintAttribute(i, "MathType", &math_type);
    st.KTYPE[i] = constraint_kind(math_type);
  }
  const std::string disagreement = kinds_fault(st);
  if (!disagreement.empty()) {
    drop_arrays(st);
    return disagreement;
  }
  st.first_kinds.assign(st.KTYPE.begin(), st.KTYPE.end());
  st.arrays_made = true;
  return {};
}

// A message naming the first Jacobian structure entry outside 1..M x 1..N; empty when all are inside.
std::string structure_fault(const SolveState& st) {
  if (st.nnz > 0 && (st.jacobian_rows == nullptr || st.jacobian_cols == nullptr)) {
    return "VEKTALVIR Error:the problem gave no Jacobian structure arrays for its nonzero entries\n";
  }
  for (std::int32_t k = 0; k < st.nnz; ++k) {
    const std::int32_t row = st.jacobian_rows[k], col = st.jacobian_cols[k];
    if (row >= 1 && row <= st.M && col >= 1 && col <= st.N) continue;
    char text[200];
    std::snprintf(text, sizeof text,
                  "VEKTALVIR Error:Jacobian structure entry %d names constraint %d and variable %d, outside "
                  "1..%d and 1..%d\n",
                  k + 1, row, col, st.M, st.N);
    return text;
  }
  return {};
}

// Step 5 of a start call: scales, counter, bounds and starting point. A starting point outside its
// bounds is moved onto them and passed to the problem, so the host evaluates where the engine starts.
void read_start(SolveState& st, NLPProblem& problem, std::int32_t* counter) {
  st.INF = 0;
  // The QP solver works on KTYPE in place and may leave it changed after a failure: every solve starts
  // from the kinds of the first start call.
  std::copy(st.first_kinds.begin(), st.first_kinds.end(), st.KTYPE.begin());
  if (!st.structure_read) {
    std::int32_t unused = 0;
    problem.GetJacobianStructure(&st.jacobian_rows, &st.jacobian_cols, &unused);
    st.structure_read = true;
  }
  std::fill(st.D.begin(), st.D.end(), 1.0);
  for (std::int32_t i = 0; i < st.N; ++i) {
    double scale = 0.0;
    // Taken as given: the engine refuses a zero or non-finite scale with "Illegal Values".
    if (problem.GetVariableAttribute(i, "VariableScale", &scale) == 0) {
      st.D[i] = scale;
    }
  }
  double objective_scale = 0.0;
  if (problem.GetProblemAttribute("ObjectiveScale", &objective_scale) == 0) st.D[st.N] = objective_scale;
  *counter = 0;
  problem.GetVariableBounds(0, st.XL.data(), st.XU.data());
  problem.GetVariableValues(0, st.X.data());
  if (core::move_start_into_bounds(st)) problem.SetVariableValues(0, st.X.data());
}

// Steps 6 and 7: the engine controls from the parameter table, which the factory singleton guarantees.
void copy_controls(SolveState& st) {
  plugin::obtain_factory();
  std::int32_t count = 0;
  const core::ParameterRecord* records = plugin::shared_parameter_records(count);
  core::set_engine_controls(st, records, count);
}

std::int32_t request_for(std::int32_t INF, std::int32_t mode) {
  if (INF == -2) return is_variant(mode) ? kRequestVariant : kRequestDerivatives;
  if (INF == -1) return is_variant(mode) ? kRequestVariant : kRequestFunctions;
  return kRequestNone;
}

// Steps 10 to 16 of a continuing call.
std::int32_t continue_solve(SolveState& st, NLPProblem& problem, MessageSink* sink, std::int32_t mode,
                            std::int32_t* counter, std::int32_t* request) {
  if (st.INF == 0 || st.INF == -2) {
    const std::string fault = structure_fault(st);
    if (!fault.empty()) return refuse(st, sink, fault);
  }
  st.evaluation.objective = st.block.objective;
  core::transfer_values(st);
  core::run_engine(st);
  *counter += 1;
  *request = request_for(st.INF, mode);
  problem.SetVariableValues(0, st.X.data());
  if (st.INF == 1) {
    const std::vector<double> zeros(st.N, 0.0);
    problem.SetMultipliers(zeros.data(), st.VF.data());
  }
  forward_listing(st.listing, sink);
  const std::int32_t result = outcome_result(st.INF);
  if (result == kCallAgain) return result;
  const std::string message = core::outcome_message(st.INF, st.MAXLS);
  if (!message.empty()) say(sink, message.c_str());
  remove_listing(st.listing);
  return result;
}

}  // namespace

std::int32_t solve_call(SolveState& st, NLPProblem& problem, MessageSink* sink, std::int32_t mode,
                        EvaluationBlock** block, std::int32_t* counter, std::int32_t* request) {
  if (block == nullptr || counter == nullptr || request == nullptr) {
    say(sink, kNullArgument);
    return kNotAvailable;
  }
  *request = kRequestNone;  // until the call has something to ask for
  connect_listing(st.listing);
  const Sizes sizes = read_sizes(problem);
  if (!is_start(mode) && !st.arrays_made) return refuse(st, sink, kNoStart);
  const std::string size_message = size_fault(st, sizes);
  if (!size_message.empty()) return refuse(st, sink, size_message);
  if (!st.arrays_made) {
    const std::string memory_message = make_arrays(st, sizes, problem);
    if (!memory_message.empty()) return refuse(st, sink, memory_message);
  }
  *block = &st.block;
  if (is_start(mode)) {
    read_start(st, problem, counter);
    const std::string fault = structure_fault(st);
    if (!fault.empty()) {
      st.structure_read = false;  // the next start call asks for the structure again
      return refuse(st, sink, fault);
    }
  }
  copy_controls(st);
  problem.OnSolveCall();
  if (is_start(mode)) {
    *request = mode == 3 ? kRequestStartVariant : kRequestStart;
    return kCallAgain;
  }
  return continue_solve(st, problem, sink, mode, counter, request);
}

std::int32_t outcome_result(std::int32_t INF) {
  switch (core::flag_outcome(INF)) {
    case core::FlagOutcome::goes_on:
      return kCallAgain;
    case core::FlagOutcome::failed:
      return kSolveFailed;
    case core::FlagOutcome::ended:
      break;
  }
  return kOk;
}

void release_solve_state(SolveState& state) {
  std::free(state.block.host_data);
  state.block.host_data = nullptr;
  if (state.listing.name != nullptr) VEKServices::DeleteTemporaryFileName(state.listing.name);
}

}  // namespace vek::driver
