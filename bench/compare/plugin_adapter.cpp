// The TALVIR plug-in as a host drives it: the module loaded by path, one solver component per solve on
// the reference host's problem object, parameters "OptTol" (the tolerance, relative to max(1, |f|))
// and "MaxIterations" set through a component's parameter list (they hold for the whole module, so
// only when they change), then the Solve exchange (mode 0,
// then mode 1) until the result is 0 or -8. Evaluations: points where the functions were evaluated
// (the start and every request 7); iterations: derivative evaluations (the start and every request 105).
// The listing stays at "PrintLevel" "Errors Only"; the sink only counts the texts it receives.
#include <string>

#include "bench/compare/solver_adapter.h"
#include "host/host_problem.h"
#include "host/module.h"
#include "host/solve_run.h"

namespace talvir::bench {
namespace {

class CountingSink final : public vek::MessageSink {
 public:
  void Write(const char*) override { ++texts; }
  long texts = 0;
};

class PluginAdapter final : public SolverAdapter {
 public:
  bool open(const std::string& path, std::string* error) {
    if (!module_.open(path, error)) return false;
    factory_ = module_.factory();
    if (factory_ == nullptr) *error = "the module gave no factory";
    return factory_ != nullptr;
  }
  ~PluginAdapter() override {
    if (factory_ != nullptr) factory_->Release();
  }
  std::string name() const override { return "talvir-plugin"; }

  SolveReport solve(const problems::TestProblem& problem, const SolveLimits& limits) override {
    SolveReport report;
    host::HostProblem host(problem);
    CountingSink sink;
    vek::NLPSolver* solver = nullptr;
    if (factory_->CreateSolver(&host, &sink, &solver) != vek::kOk || solver == nullptr) return report;
    // The parameters are the module's, not the component's: set once, as a host sets them for a session.
    if (!limits_set_ || limits.tolerance != limits_.tolerance ||
        limits.max_iterations != limits_.max_iterations) {
      set_limits(solver, limits);
      limits_ = limits;
      limits_set_ = true;
    }
    vek::EvaluationBlock* block = nullptr;
    std::int32_t counter = 0, request = 0;
    std::int32_t rc = solver->Solve(0, &block, &counter, &request);
    while (rc == vek::kCallAgain && host.evaluate(request, block)) {
      rc = solver->Solve(1, &block, &counter, &request);
    }
    report.reported_success = rc == vek::kOk && host.multiplier_calls() > 0;
    solver->Release();
    report.x = host.point();
    report.evaluations = host.function_evaluations();
    report.iterations = host.derivative_evaluations();
    return report;
  }

 private:
  static void set_limits(vek::NLPSolver* solver, const SolveLimits& limits) {
    vek::ParameterList* list = nullptr;
    if (solver->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&list)) != vek::kOk) return;
    char tolerance[32];
    std::snprintf(tolerance, sizeof tolerance, "%.17g", limits.tolerance);
    host::apply_parameter(list, "OptTol", tolerance);
    host::apply_parameter(list, "MaxIterations", std::to_string(limits.max_iterations));
    list->Release();
  }

  SolveLimits limits_;
  bool limits_set_ = false;
  host::PluginModule module_;
  vek::NLPSystemFactory* factory_ = nullptr;
};

}  // namespace

std::unique_ptr<SolverAdapter> make_plugin_adapter(const std::string& module_path, std::string* error) {
  auto adapter = std::make_unique<PluginAdapter>();
  if (!adapter->open(module_path, error)) return nullptr;
  return adapter;
}

}  // namespace talvir::bench
