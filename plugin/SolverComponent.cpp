// SolverComponent: views, results and lifetime of one solver (contract in the header).
#include "plugin/SolverComponent.h"

#include <cstring>

#include "driver/solve.h"

namespace vek::plugin {

SolverComponent::SolverComponent(NLPProblem* problem, MessageSink* sink) : problem_(problem), sink_(sink) {
  problem_->AddRef();
}

SolverComponent::~SolverComponent() {
  driver::release_solve_state(state_);
  problem_->Release();
}

std::int32_t SolverComponent::QueryInterface(const Guid& iid, void** out) {
  if (out == nullptr) return kENoInterface;
  if (iid == kIidNLPSolver) return answer(solve_view(), out);
  if (iid == kIidSolverResults) return answer(results_view(), out);
  if (iid == kIidParameterList) return answer(parameter_view(), out);
  if (iid == kIidVEKUtilityComponent || iid == kIidIUnknown) return answer(utility_view(), out);
  return kENoInterface;
}

std::int32_t SolverComponent::Solve(std::int32_t mode, EvaluationBlock** block, std::int32_t* counter,
                                    std::int32_t* request) {
  // No exception may leave the module: the driver catches the failures of its large allocations, and
  // anything else that escapes (memory exhausted while a message is composed) ends the call as a refusal.
  try {
    return driver::solve_call(state_, *problem_, sink_, mode, block, counter, request);
  } catch (...) {
    if (sink_ != nullptr) sink_->Write("VEKTALVIR Error:not enough memory for the solver\n");
    return kNotAvailable;
  }
}

std::int32_t SolverComponent::ReservedQuery(std::int32_t /*key*/, void* /*first*/, void* /*second*/) {
  return kNotAvailable;
}

std::int32_t SolverComponent::GetRealResult(const char* key, double* value) {
  if (key == nullptr || value == nullptr || std::strcmp(key, kConvergenceKey) != 0) return kNotAvailable;
  *value = state_.convergence_ratio;
  return kOk;
}

}  // namespace vek::plugin
