// SolverComponent: one solver for one host problem. Views: NLPSolver (Solve), SolverResults ("CVRG"),
// ParameterList (the shared table) and VEKUtilityComponent, all sharing one reference count.
//
//   QueryInterface   NLPSolver -> solve view; SolverResults -> results view; ParameterList -> parameter
//                    view; VEKUtilityComponent, IUnknown -> utility view; else E_NOINTERFACE.
//   Solve            the reverse-communication solve (driver/solve.h).
//   ReservedQuery    reads nothing, returns -15.
//   GetRealResult    key "CVRG" (exact case): stores the convergence ratio, returns 0; any other key,
//                    or a null key or value pointer: -15, nothing written.
// Construction takes one reference on the problem (AddRef) and keeps the sink (not counted, not owned);
// destruction frees the solve state, gives the listing file name back and releases the problem.
#pragma once

#include "driver/solve.h"
#include "plugin/ParameterSet.h"

namespace vek::plugin {

inline constexpr const char* kConvergenceKey = "CVRG";

class SolverComponent : public ParameterSet, public NLPSolver, public SolverResults {
 public:
  SolverComponent(NLPProblem* problem, MessageSink* sink);
  ~SolverComponent() override;

  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const Guid& iid, void** out) override;
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return add_reference(); }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return release_reference(); }

  std::int32_t Solve(std::int32_t mode, EvaluationBlock** block, std::int32_t* counter,
                     std::int32_t* request) override;
  std::int32_t ReservedQuery(std::int32_t key, void* first, void* second) override;
  std::int32_t GetRealResult(const char* key, double* value) override;

  NLPSolver* solve_view() { return this; }
  SolverResults* results_view() { return this; }
  const driver::SolveState& state() const { return state_; }

 private:
  NLPProblem* problem_;
  MessageSink* sink_;
  driver::SolveState state_;
};

}  // namespace vek::plugin
