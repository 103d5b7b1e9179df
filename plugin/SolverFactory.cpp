// SolverFactory: the factory singleton and CreateSolver (contract in the header).
#include "plugin/SolverFactory.h"

#include <new>

#include "driver/host_interfaces.h"
#include "plugin/SolverComponent.h"
#include "plugin/parameters.h"

namespace vek::plugin {
namespace {

SolverFactory* g_factory = nullptr;

void write(MessageSink* sink, const char* text) {
  if (sink != nullptr) sink->Write(text != nullptr ? text : "");
}

}  // namespace

SolverFactory* obtain_factory() {
  if (g_factory == nullptr) g_factory = new (std::nothrow) SolverFactory();
  return g_factory;
}

SolverFactory* current_factory() {
  return g_factory;
}

SolverFactory::~SolverFactory() {
  if (g_factory == this) g_factory = nullptr;
  free_parameter_table();
}

std::int32_t SolverFactory::QueryInterface(const Guid& iid, void** out) {
  if (out == nullptr) return kENoInterface;
  if (iid == kIidNLPSystemFactory) return answer(factory_view(), out);
  if (iid == kIidParameterList) return answer(parameter_view(), out);
  if (iid == kIidVEKUtilityComponent || iid == kIidIUnknown) return answer(utility_view(), out);
  return kENoInterface;
}

std::int32_t SolverFactory::CreateSolver(NLPProblem* problem, MessageSink* sink, NLPSolver** out) {
  if (problem == nullptr || out == nullptr) return kNotAvailable;
  auto* solver = new (std::nothrow) SolverComponent(problem, sink);
  if (solver == nullptr) return kNotAvailable;
  solver->QueryInterface(kIidNLPSolver, reinterpret_cast<void**>(out));  // the solver's first reference

  VEKUtilityComponent* utility = nullptr;
  if (problem->QueryInterface(kIidVEKUtilityComponent, reinterpret_cast<void**>(&utility)) != kOk ||
      utility == nullptr) {
    write(sink, kNoUtilityMessage);
    return kNotAvailable;
  }
  write(sink, kUsingProblemMessage);
  write(sink, utility->GetName());
  write(sink, "\n");
  utility->Release();
  return kOk;
}

}  // namespace vek::plugin
