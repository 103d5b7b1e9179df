// A scripted host for the solve-driver tests: a test problem from the bundled collection behind the
// NLPProblem interface, recording every call it receives in order, plus a loop that drives Solve.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/host_interfaces.h"
#include "host/problems/problem.h"
#include "plugin/SolverComponent.h"
#include "plugin/fake_problem.h"

namespace talvir_test {

class ProblemHost : public vek::NLPProblem, public vek::VEKUtilityComponent {
 public:
  explicit ProblemHost(std::unique_ptr<talvir::problems::TestProblem> problem);
  ~ProblemHost() override = default;

  // Answers with the problem's values at the current point `x`, writing only what `request` asks for;
  // the other parts of the block are overwritten with NaN, so a transfer of them would be noticed.
  void evaluate(vek::EvaluationBlock& block, std::int32_t request);

  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const vek::Guid& iid, void** out) override;
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return ++count; }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return --count; }
  const char* GetVersion() override { return "1"; }
  const char* GetDescription() override { return "scripted host"; }
  const char* GetName() override { return name.c_str(); }

  std::int32_t GetNumVariables() override;
  std::int32_t GetNumEqualities() override;
  std::int32_t GetNumInequalities() override;
  std::int32_t GetVariableBounds(std::int32_t first, double* lower, double* upper) override;
  std::int32_t SetVariableValues(std::int32_t first, const double* values) override;
  std::int32_t GetVariableValues(std::int32_t first, double* values) override;
  std::int32_t GetVariableAttribute(std::int32_t index, const char* key, double* value) override;
  std::int32_t GetConstraintAttribute(std::int32_t index, const char* key, std::int32_t* value) override;
  std::int32_t GetProblemAttribute(const char* key, double* value) override;
  std::int32_t GetStructureCounts(std::int32_t* first, std::int32_t* nnz) override;
  std::int32_t GetJacobianStructure(const std::int32_t** rows_out, const std::int32_t** cols_out,
                                    std::int32_t* count_out) override;
  std::int32_t OnSolveCall() override;
  std::int32_t SetMultipliers(const double* variable_multipliers,
                              const double* constraint_multipliers) override;

  std::unique_ptr<talvir::problems::TestProblem> problem;
  std::string name;
  std::int32_t count = 1;
  // What the host reports; tests change them to script faults.
  std::int32_t n = 0, equalities = 0, inequalities = 0;
  std::vector<std::int32_t> math_types;  // per constraint
  std::vector<std::int32_t> rows, cols;  // 1-based Jacobian structure
  std::vector<double> scales;            // "VariableScale" per variable; empty: no such attribute
  bool has_objective_scale = false;
  double objective_scale = 0.0;
  bool fail_trial_evaluations = false;  // answer 1e30 as the first constraint value of a 7 request
  bool null_structure = false;          // GetJacobianStructure hands over null arrays

  std::vector<double> x;  // the problem's current point
  std::vector<double> xl, xu;
  std::vector<std::string> calls;  // every slot called, in order
  std::vector<double> last_set_point, received_zeros, received_multipliers;
};

// One Solve loop from a start call to the end, evaluating as requested.
struct SolveRun {
  std::int32_t result = 0;
  std::int32_t counter = 0;
  int continuing_calls = 0;
  std::vector<std::int32_t> requests;              // after each call, the start call first
  std::vector<std::vector<std::string>> messages;  // sink texts written during each call
  std::vector<std::int32_t> counters;              // the counter after each call
};

SolveRun run_solve(vek::NLPSolver* solver, ProblemHost& host, RecordingSink& sink,
                   std::int32_t start_mode = 0, std::int32_t continue_mode = 1, int call_limit = 2000);

// A factory, a solver for `host` and the parameter view, released in the destructor.
struct SolverFixture {
  SolverFixture(ProblemHost& host, RecordingSink& sink);
  ~SolverFixture();
  void set_integer(const char* name, std::int32_t value);
  void set_real(const char* name, double value);
  void set_text(const char* name, const char* value);

  vek::NLPSystemFactory* factory = nullptr;
  vek::NLPSolver* solver = nullptr;
  vek::ParameterList* params = nullptr;
};

// The solve state behind a solver made by the plug-in's own factory (tests link the classes directly).
// The elements of one of the state's arrays, to keep or compare.
template <class T>
std::vector<T> values_of(const vek::core::Array<T>& a) {
  return std::vector<T>(a.begin(), a.end());
}

inline const vek::driver::SolveState& state_of(vek::NLPSolver* solver) {
  return static_cast<vek::plugin::SolverComponent*>(solver)->state();
}

}  // namespace talvir_test
