// SolverFactory: the NLPSystemFactory of the library, at most one at a time (the factory singleton).
//
//   obtain_factory()        the singleton, created with count 0 when there is none (null when it cannot
//                           be allocated). Its construction builds the parameter table if absent.
//   QueryInterface          NLPSystemFactory -> factory view; ParameterList -> parameter view;
//                           VEKUtilityComponent, IUnknown -> utility view; else E_NOINTERFACE.
//   CreateSolver(p, s, out) a new SolverComponent for problem p and sink s, its NLPSolver view in out
//                           with one reference. Returns 0; -15 when the component cannot be allocated
//                           (out untouched), when p or out is null (nothing done), or when p does not
//                           answer VEKUtilityComponent (the message is written to s and out holds the
//                           new solver, which the caller releases).
// Destruction (the Release that brings the count to 0) clears the singleton and frees the parameter
// table. Solvers hold no reference to the factory.
#pragma once

#include "plugin/ParameterSet.h"

namespace vek::plugin {

inline constexpr const char* kNoUtilityMessage = "VEKUtilityComponent interface not implemented in problem\n";
inline constexpr const char* kUsingProblemMessage = "In solver DLL using problem ";

class SolverFactory : public NLPSystemFactory, public ParameterSet {
 public:
  SolverFactory() = default;
  ~SolverFactory() override;

  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const Guid& iid, void** out) override;
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return add_reference(); }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return release_reference(); }
  std::int32_t CreateSolver(NLPProblem* problem, MessageSink* sink, NLPSolver** out) override;

  NLPSystemFactory* factory_view() { return this; }
};

SolverFactory* obtain_factory();
// The singleton or null, without creating it.
SolverFactory* current_factory();

}  // namespace vek::plugin
