// run_solve, apply_parameter and violation_at (see solve_run.h for the contracts).
#include "host/solve_run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "host/host_problem.h"
#include "host/module_parameters.h"

namespace talvir::host {
namespace {

// A bound on Solve calls far beyond what the largest limits allow for the bundled problems; it only
// stops a module that never ends a solve.
constexpr long kMaxSolveCalls = 10000000;

std::string parameter_names(const std::vector<ModuleParameter>& params) {
  std::string names;
  for (const ModuleParameter& p : params) names += (names.empty() ? "" : ", ") + p.name;
  return names;
}

}  // namespace

std::string apply_parameter(vek::ParameterList* list, const std::string& name, const std::string& text) {
  std::vector<ModuleParameter> params;
  const std::string unread = read_module_parameters(list, &params);
  if (!unread.empty()) return unread;
  const ModuleParameter* p = find_module_parameter(params, name);
  if (p == nullptr) return "unknown parameter '" + name + "'; the parameters are: " + parameter_names(params);
  vek::ParameterValue value{};
  std::string copy = text;  // a text value is handed over as char*; the solver copies it
  if (!parse_parameter_value(*p, text, &value))
    return "bad value '" + text + "' for " + p->name + ": it takes " + accepted_values(*p);
  if (p->type == vek::kTextParameter) value.text = copy.data();
  const std::int32_t rc = list->SetParameter(p->name.c_str(), p->type, value);
  if (rc == vek::kValueOutOfRange)
    return "value " + text + " is out of range for " + p->name + ": it takes " + accepted_values(*p);
  if (rc != vek::kOk) return "the solver refused " + p->name + " (code " + std::to_string(rc) + ")";
  return "";
}

double violation_at(const problems::TestProblem& problem, const double* x) {
  const int n = problem.n();
  const int m = problem.m();
  std::vector<double> c(static_cast<size_t>(m) + 1), xl(static_cast<size_t>(n)), xu(static_cast<size_t>(n));
  problem.constraints(x, c.data());
  problem.bounds(xl.data(), xu.data());
  double v = 0.0;
  for (int j = 0; j < m; ++j) {
    const double cj = c[static_cast<size_t>(j)];
    const int kind = problem.kind(j);
    v = std::max(v, kind == 0 ? std::fabs(cj) : (kind > 0 ? -cj : cj));
    if (std::isnan(cj)) v = INFINITY;
  }
  for (int i = 0; i < n; ++i)
    v = std::max({v, xl[static_cast<size_t>(i)] - x[i], x[i] - xu[static_cast<size_t>(i)]});
  return v;
}

namespace {

// Applies every assignment through the solver's parameter view; the first refusal is the error.
std::string apply_all(vek::NLPSolver* solver, const SolveSettings& settings, bool* bad_parameter) {
  vek::ParameterList* list = nullptr;
  if (solver->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&list)) != vek::kOk ||
      list == nullptr) {
    return "the solver does not offer its parameters";
  }
  std::string error;
  for (const auto& [name, value] : settings.parameters) {
    error = apply_parameter(list, name, value);
    if (!error.empty()) {
      *bad_parameter = true;
      break;
    }
  }
  list->Release();
  return error;
}

double convergence_ratio(vek::NLPSolver* solver) {
  vek::SolverResults* results = nullptr;
  double ratio = NAN;
  if (solver->QueryInterface(vek::kIidSolverResults, reinterpret_cast<void**>(&results)) == vek::kOk &&
      results != nullptr) {
    results->GetRealResult("CVRG", &ratio);
    results->Release();
  }
  return ratio;
}

// The exchange itself: start call, then evaluate-and-continue until the solve ends.
void drive(vek::NLPSolver* solver, HostProblem& host, HostSink& sink, SolveOutcome& out) {
  vek::EvaluationBlock* block = nullptr;
  std::int32_t request = 0;
  sink.begin_call();
  std::int32_t rc = solver->Solve(0, &block, &out.counter, &request);
  out.solve_calls = 1;
  while (rc == vek::kCallAgain) {
    if (block == nullptr) {
      out.error = "the solver handed over no evaluation block";
      break;
    }
    if (!host.evaluate(request, block)) {
      out.error =
          "the solver asked for request code " + std::to_string(request) + ", which this host does not know";
      break;
    }
    if (out.solve_calls >= kMaxSolveCalls) {
      out.error = "the solve did not end after " + std::to_string(kMaxSolveCalls) + " calls";
      break;
    }
    sink.begin_call();
    rc = solver->Solve(1, &block, &out.counter, &request);
    ++out.solve_calls;
  }
  out.result = rc;
  // The outcome message is the last text of the call that ended the solve (after its listing).
  if (rc != vek::kOk && rc != vek::kCallAgain && !sink.last_call_texts().empty()) {
    out.message = sink.last_call_texts().back();
  }
}

}  // namespace

SolveOutcome run_solve(vek::NLPSystemFactory* factory, const problems::TestProblem& problem,
                       const SolveSettings& settings) {
  SolveOutcome out;
  HostProblem host(problem);
  HostSink sink(settings.echo_listing);
  vek::NLPSolver* solver = nullptr;
  const std::int32_t created = factory->CreateSolver(&host, &sink, &solver);
  if (created != vek::kOk || solver == nullptr) {
    out.error = "the module could not create a solver (code " + std::to_string(created) + ")";
    if (solver != nullptr) solver->Release();
    return out;
  }
  out.error = apply_all(solver, settings, &out.bad_parameter);
  if (out.error.empty()) {
    const auto begin = std::chrono::steady_clock::now();
    drive(solver, host, sink, out);
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    out.convergence_ratio = convergence_ratio(solver);
  }
  solver->Release();
  out.problem_references = host.references();
  out.converged = out.error.empty() && out.result == vek::kOk && host.multiplier_calls() > 0;
  out.sink_text = sink.all_text();
  out.x = host.point();
  out.multipliers = host.multipliers();
  out.objective = problem.objective(out.x.data());
  out.violation = violation_at(problem, out.x.data());
  out.function_evaluations = host.function_evaluations();
  out.derivative_evaluations = host.derivative_evaluations();
  return out;
}

}  // namespace talvir::host
