// One solve of an NlModel through the native API. Contract in ampl/nl_solve.h.
#include "ampl/nl_solve.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "ampl/nl_evaluate.h"
#include "talvir/talvir.h"

namespace talvir::ampl {
namespace {

struct SolverFree {
  void operator()(talvir_solver* s) const { talvir_free(s); }
};
using SolverHandle = std::unique_ptr<talvir_solver, SolverFree>;

void print_listing(const char* text, void*) {
  std::fputs(text, stdout);
}

std::string refusal_text(talvir_solver* s, int status) {
  const char* text = nullptr;
  talvir_status_text(status, &text);
  std::string out = text ? text : "";
  const char* detail = nullptr;
  if (s != nullptr && talvir_get_error_message(s, &detail) == TALVIR_OK && detail && *detail) out = detail;
  return out;
}

bool has_parameter(const AmplOptions& options, const char* name) {
  for (const auto& [key, value] : options.parameters)
    if (key == name) return true;
  return false;
}

// Creates and sets up the solver; false with the solution's ending and detail on a refusal.
bool set_up(NlModel& model, const AmplOptions& options, SolverHandle& out, NlSolution& solution) {
  std::vector<int> kinds(model.m());
  for (int j = 0; j < model.m(); ++j)
    kinds[j] = model.rows[j].side == RowSide::kEquality ? TALVIR_EQUAL : TALVIR_GREATER_EQUAL;
  talvir_solver* raw = nullptr;
  int status = talvir_create(model.n, model.m(), kinds.data(), &raw);
  out.reset(raw);
  if (status == TALVIR_OK) status = talvir_set_bounds(raw, model.xl.data(), model.xu.data());
  if (status == TALVIR_OK) status = talvir_set_start(raw, model.x0.data());
  if (status == TALVIR_OK)
    status = talvir_set_jacobian_structure(raw, model.nnz(), model.jac_row.data(), model.jac_col.data());
  if (status == TALVIR_OK && options.outlev >= 1) status = talvir_set_listing(raw, print_listing, nullptr);
  if (status == TALVIR_OK && options.outlev == 1 && !has_parameter(options, "Log"))
    status = talvir_set_parameter(raw, "Log", "1");  // one line per iteration and a summary
  if (status == TALVIR_OK && options.outlev >= 2 && !has_parameter(options, "PrintLevel"))
    status = talvir_set_parameter(raw, "PrintLevel", "Normal");
  for (size_t k = 0; status == TALVIR_OK && k < options.parameters.size(); ++k) {
    const auto& [name, value] = options.parameters[k];
    status = talvir_set_parameter(raw, name.c_str(), value.c_str());
    if (status != TALVIR_OK) {
      solution.ending = Ending::kBadOptions;
      solution.detail = name + "=" + value + ": " + refusal_text(raw, status);
      return false;
    }
  }
  if (status == TALVIR_OK) return true;
  solution.ending = Ending::kSolverError;
  solution.detail = refusal_text(raw, status);
  return false;
}

struct Arrays {
  const double* x = nullptr;
  double *f = nullptr, *g = nullptr, *c = nullptr, *jac = nullptr;
};

// Answers one request; false when ASL could not evaluate (the solver was told so).
bool answer(talvir_solver* s, NlModel& model, const Arrays& a, int request) {
  bool ok = true;
  if (request & TALVIR_REQUEST_VALUES) ok = evaluate_functions(model, a.x, *a.f, a.c);
  if (ok && (request & TALVIR_REQUEST_DERIVATIVES)) ok = evaluate_derivatives(model, a.x, a.g, a.jac);
  if (!ok) talvir_cannot_evaluate(s);
  return ok;
}

Ending ending_of(int ending, bool feasibility, bool failed_at_start) {
  switch (ending) {
    case TALVIR_ENDING_CONVERGED:
      return feasibility ? Ending::kFeasible : Ending::kOptimal;
    case TALVIR_ENDING_ITERATION_LIMIT:
      return Ending::kIterationLimit;
    case TALVIR_ENDING_LINE_SEARCH_LIMIT:
      return Ending::kLineSearchLimit;
    case TALVIR_ENDING_TIME_LIMIT:
      return Ending::kTimeLimit;
    case TALVIR_ENDING_EVALUATION_LIMIT:
      return Ending::kEvaluationLimit;
    case TALVIR_ENDING_UPHILL_DIRECTION:
      return Ending::kUphill;
    case TALVIR_ENDING_INFEASIBLE_LINEARISATION:
      return Ending::kLinearisedInfeasible;
    case TALVIR_ENDING_UNBOUNDED:
      return Ending::kUnbounded;
    case TALVIR_ENDING_LOCALLY_INFEASIBLE:
      return Ending::kLocallyInfeasible;
    case TALVIR_ENDING_WORKSPACE:
      return Ending::kWorkspace;
    case TALVIR_ENDING_ILLEGAL_VALUES:
      return Ending::kIllegalValues;
    case TALVIR_ENDING_QP_FAILURE:
      return Ending::kQpFailure;
    case TALVIR_ENDING_EVALUATION_FAILED:
      return failed_at_start ? Ending::kStartNotEvaluable : Ending::kDerivativesNotEvaluable;
    default:
      return Ending::kSolverError;
  }
}

void collect_results(talvir_solver* s, const NlModel& model, NlSolution& solution) {
  solution.x.assign(model.n, 0.0);
  solution.lambda.assign(model.m(), 0.0);
  talvir_get_x(s, solution.x.data());
  if (model.m() > 0) talvir_get_multipliers(s, solution.lambda.data());
  double f = 0.0;
  talvir_get_objective(s, &f);
  solution.objective = model.sense * f;
  talvir_get_max_violation(s, &solution.violation);
  talvir_get_iterations(s, &solution.iterations);
  talvir_get_evaluations(s, &solution.value_evaluations, &solution.derivative_evaluations);
  const char* message = nullptr;  // the solver's own words, except for a convergence (said already)
  if (solution.ending != Ending::kOptimal && solution.ending != Ending::kFeasible &&
      talvir_get_ending_message(s, &message) == TALVIR_OK && message)
    solution.detail = message;
}

}  // namespace

bool solve_nl(NlModel& model, const AmplOptions& options, NlSolution& solution) {
  const auto start = std::chrono::steady_clock::now();
  solution.x = model.x0;
  SolverHandle solver;
  if (!set_up(model, options, solver, solution)) return false;
  Arrays a;
  talvir_evaluation_arrays(solver.get(), &a.x, &a.f, &a.g, &a.c, &a.jac);
  std::string failure;
  bool first = true, failed_at_start = false;
  for (int request = TALVIR_REQUEST_NONE;;) {
    if (talvir_step(solver.get(), &request) != TALVIR_OK || request == TALVIR_REQUEST_NONE) break;
    if (!answer(solver.get(), model, a, request) && (first || (request & TALVIR_REQUEST_DERIVATIVES))) {
      failed_at_start = first;
      failure = failing_function(model, a.x);
    }
    first = false;
  }
  int ending = TALVIR_ENDING_NONE;
  talvir_get_ending(solver.get(), &ending);
  solution.ending = ending_of(ending, model.objective < 0, failed_at_start);
  if (ending != TALVIR_ENDING_NONE) collect_results(solver.get(), model, solution);
  if (ending == TALVIR_ENDING_EVALUATION_FAILED)
    solution.detail = "cannot evaluate " + (failure.empty() ? std::string("the derivatives") : failure) +
                      (failed_at_start ? " at the start point" : " at an accepted point");
  solution.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return true;
}

std::vector<double> ampl_duals(const NlModel& model, const std::vector<double>& lambda) {
  std::vector<double> y(model.m_source, 0.0);
  for (int j = 0; j < model.m() && j < static_cast<int>(lambda.size()); ++j) {
    const EngineRow& row = model.rows[j];
    y[row.source] += model.sense * (row.side == RowSide::kUpper ? -lambda[j] : lambda[j]);
  }
  return y;
}

}  // namespace talvir::ampl
