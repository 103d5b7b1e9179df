// The scripted host of the solve-driver tests (see problem_host.h).
#include "problem_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace talvir_test {

namespace {
constexpr double kPoison = std::numeric_limits<double>::quiet_NaN();
}

ProblemHost::ProblemHost(std::unique_ptr<talvir::problems::TestProblem> p) : problem(std::move(p)) {
  name = problem->name();
  n = problem->n();
  const int m = problem->m();
  for (int j = 0; j < m; ++j) {
    const int kind = problem->kind(j);
    (kind == 0 ? equalities : inequalities) += 1;
    math_types.push_back(kind == 0 ? 0 : kind < 0 ? 1 : 3);
  }
  std::vector<int> r, c;
  if (!problem->jacobian_structure(r, c)) {
    for (int j = 0; j < m; ++j) {
      for (int i = 0; i < n; ++i) {
        r.push_back(j);
        c.push_back(i);
      }
    }
  }
  for (std::size_t k = 0; k < r.size(); ++k) {
    rows.push_back(r[k] + 1);
    cols.push_back(c[k] + 1);
  }
  x.resize(n);
  xl.resize(n);
  xu.resize(n);
  problem->start(x.data());
  problem->bounds(xl.data(), xu.data());
}

void ProblemHost::evaluate(vek::EvaluationBlock& b, std::int32_t request) {
  const int m = problem->m();
  const bool functions = request != vek::kRequestDerivatives;
  const bool derivatives = request != vek::kRequestFunctions;
  b.objective = functions ? problem->objective(x.data()) : kPoison;
  std::vector<double> c(m + 1, 0.0), jac(static_cast<std::size_t>(m) * n + 1, 0.0);
  problem->constraints(x.data(), c.data());
  problem->jacobian(x.data(), jac.data());
  for (int j = 0; j < m; ++j) b.constraints[j] = functions ? c[j] : kPoison;
  if (functions && fail_trial_evaluations && request == vek::kRequestFunctions && m > 0)
    b.constraints[0] = 1.0e30;
  problem->gradient(x.data(), b.gradient);
  if (!derivatives) {
    for (int i = 0; i < n; ++i) b.gradient[i] = kPoison;
  }
  for (std::size_t k = 0; k < rows.size(); ++k) {
    b.jacobian[k] = derivatives ? jac[static_cast<std::size_t>(rows[k] - 1) * n + (cols[k] - 1)] : kPoison;
  }
}

std::int32_t ProblemHost::QueryInterface(const vek::Guid& iid, void** out) {
  calls.emplace_back("QueryInterface");
  if (iid != vek::kIidVEKUtilityComponent) return vek::kENoInterface;
  *out = static_cast<vek::VEKUtilityComponent*>(this);
  AddRef();
  return 0;
}

std::int32_t ProblemHost::GetNumVariables() {
  calls.emplace_back("GetNumVariables");
  return n;
}
std::int32_t ProblemHost::GetNumEqualities() {
  calls.emplace_back("GetNumEqualities");
  return equalities;
}
std::int32_t ProblemHost::GetNumInequalities() {
  calls.emplace_back("GetNumInequalities");
  return inequalities;
}
std::int32_t ProblemHost::GetVariableBounds(std::int32_t first, double* lower, double* upper) {
  calls.emplace_back("GetVariableBounds");
  EXPECT_EQ(first, 0);
  std::copy(xl.begin(), xl.end(), lower);
  std::copy(xu.begin(), xu.end(), upper);
  return 0;
}
std::int32_t ProblemHost::SetVariableValues(std::int32_t first, const double* values) {
  calls.emplace_back("SetVariableValues");
  EXPECT_EQ(first, 0);
  x.assign(values, values + n);
  last_set_point = x;
  return 0;
}
std::int32_t ProblemHost::GetVariableValues(std::int32_t first, double* values) {
  calls.emplace_back("GetVariableValues");
  EXPECT_EQ(first, 0);
  std::copy(x.begin(), x.end(), values);
  return 0;
}
std::int32_t ProblemHost::GetVariableAttribute(std::int32_t index, const char* key, double* value) {
  calls.emplace_back("GetVariableAttribute");
  EXPECT_STREQ(key, "VariableScale");
  if (scales.empty()) return -1;
  *value = scales.at(index);
  return 0;
}
std::int32_t ProblemHost::GetConstraintAttribute(std::int32_t index, const char* key, std::int32_t* value) {
  calls.emplace_back("GetConstraintAttribute");
  EXPECT_STREQ(key, "MathType");
  *value = math_types.at(index);
  return 0;
}
std::int32_t ProblemHost::GetProblemAttribute(const char* key, double* value) {
  calls.emplace_back("GetProblemAttribute");
  EXPECT_STREQ(key, "ObjectiveScale");
  if (!has_objective_scale) return -1;
  *value = objective_scale;
  return 0;
}
std::int32_t ProblemHost::GetStructureCounts(std::int32_t* first, std::int32_t* nnz) {
  calls.emplace_back("GetStructureCounts");
  *first = n;
  *nnz = static_cast<std::int32_t>(rows.size());
  return 0;
}
std::int32_t ProblemHost::GetJacobianStructure(const std::int32_t** rows_out, const std::int32_t** cols_out,
                                               std::int32_t* count_out) {
  calls.emplace_back("GetJacobianStructure");
  *rows_out = null_structure ? nullptr : rows.data();
  *cols_out = null_structure ? nullptr : cols.data();
  *count_out = static_cast<std::int32_t>(rows.size());
  return 0;
}
std::int32_t ProblemHost::OnSolveCall() {
  calls.emplace_back("OnSolveCall");
  return 0;
}
std::int32_t ProblemHost::SetMultipliers(const double* variable_multipliers,
                                         const double* constraint_multipliers) {
  calls.emplace_back("SetMultipliers");
  received_zeros.assign(variable_multipliers, variable_multipliers + n);
  received_multipliers.assign(constraint_multipliers, constraint_multipliers + problem->m());
  return 0;
}

SolveRun run_solve(vek::NLPSolver* solver, ProblemHost& host, RecordingSink& sink, std::int32_t start_mode,
                   std::int32_t continue_mode, int call_limit) {
  SolveRun run;
  vek::EvaluationBlock* block = nullptr;
  std::int32_t request = -1;
  std::int32_t mode = start_mode;
  for (int call = 0; call < call_limit; ++call) {
    sink.texts.clear();
    run.result = solver->Solve(mode, &block, &run.counter, &request);
    run.requests.push_back(request);
    run.messages.push_back(sink.texts);
    run.counters.push_back(run.counter);
    if (mode != start_mode) ++run.continuing_calls;
    if (run.result != vek::kCallAgain) return run;
    host.evaluate(*block, request == vek::kRequestVariant || request == vek::kRequestStartVariant
                              ? vek::kRequestStart
                              : request);
    mode = continue_mode;
  }
  ADD_FAILURE() << "the solve did not end within " << call_limit << " calls";
  return run;
}

SolverFixture::SolverFixture(ProblemHost& host, RecordingSink& sink) {
  factory = GetFactoryNLPSystem();
  EXPECT_EQ(factory->CreateSolver(&host, &sink, &solver), 0);
  EXPECT_EQ(factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&params)), 0);
  sink.texts.clear();
}

SolverFixture::~SolverFixture() {
  params->Release();
  EXPECT_EQ(solver->Release(), 0);
  EXPECT_EQ(factory->Release(), 0);
}

void SolverFixture::set_integer(const char* name, std::int32_t value) {
  vek::ParameterValue v{};
  v.integer = value;
  EXPECT_EQ(params->SetParameter(name, vek::kIntegerParameter, v), 0) << name;
}
void SolverFixture::set_real(const char* name, double value) {
  vek::ParameterValue v{};
  v.real = value;
  EXPECT_EQ(params->SetParameter(name, vek::kRealParameter, v), 0) << name;
}
void SolverFixture::set_text(const char* name, const char* value) {
  std::vector<char> copy(value, value + std::strlen(value) + 1);
  vek::ParameterValue v{};
  v.text = copy.data();
  EXPECT_EQ(params->SetParameter(name, vek::kTextParameter, v), 0) << name;
}

}  // namespace talvir_test
