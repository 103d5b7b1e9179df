// The reference host's side of the plug-in boundary: a test problem presented as the host framework's
// problem object (NLPProblem with its VEKUtilityComponent view) and a message sink.
//
// HostProblem wraps a TestProblem (not owned; it must outlive the HostProblem). It keeps the problem's
// current point, which the solver sets with SetVariableValues and the host evaluates at, and records
// what the solver hands back (multipliers) and how often it asked for what. Constraint kinds map to
// "MathType" 0 (equality), 1 (c <= 0) and 3 (c >= 0). The Jacobian structure is the problem's sparse
// structure when it has one, otherwise every (constraint, variable) pair, row by row. "VariableScale"
// and "ObjectiveScale" exist only when set. The object is owned by the host: Release never deletes it.
//
// HostSink records every text it receives, in order, and echoes it to standard output when asked to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/host_interfaces.h"
#include "host/problems/problem.h"

namespace talvir::host {

// Value written as the first constraint when the functions cannot be evaluated at a trial point;
// the solver then shortens the step.
inline constexpr double kEvaluationFailed = 1.0e30;

class HostProblem final : public vek::NLPProblem {
 public:
  explicit HostProblem(const problems::TestProblem& problem);
  HostProblem(const HostProblem&) = delete;
  HostProblem& operator=(const HostProblem&) = delete;

  // Optional attributes; absent until set. `scales` should have n non-zero entries; a variable past
  // its end has no scale.
  void set_variable_scales(const std::vector<double>& scales) { variable_scales_ = scales; }
  void set_objective_scale(double scale) {
    objective_scale_ = scale;
    has_objective_scale_ = true;
  }

  // Evaluates what `request` asks at the current point and writes it into `block`: 111/110 all four
  // parts, 7 the functions, 105 the derivatives, 6 both (the variant family does not say which).
  // Returns false, writing nothing, for any other code.
  bool evaluate(std::int32_t request, vek::EvaluationBlock* block);

  const std::vector<double>& point() const { return x_; }
  const std::vector<double>& multipliers() const { return lambda_; }
  int multiplier_calls() const { return multiplier_calls_; }
  long function_evaluations() const { return function_evaluations_; }
  long derivative_evaluations() const { return derivative_evaluations_; }
  int references() const { return references_; }
  std::int32_t nnz() const { return static_cast<std::int32_t>(rows_.size()); }

  // IUnknown
  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const vek::Guid& iid, void** out) override;
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return ++references_; }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return --references_; }
  // NLPProblem
  std::int32_t GetNumVariables() override { return n_; }
  std::int32_t GetNumEqualities() override { return equalities_; }
  std::int32_t GetNumInequalities() override { return m_ - equalities_; }
  std::int32_t GetVariableBounds(std::int32_t first, double* lower, double* upper) override;
  std::int32_t SetVariableValues(std::int32_t first, const double* x) override;
  std::int32_t GetVariableValues(std::int32_t first, double* x) override;
  std::int32_t GetVariableAttribute(std::int32_t index, const char* key, double* value) override;
  std::int32_t GetConstraintAttribute(std::int32_t index, const char* key, std::int32_t* value) override;
  std::int32_t GetProblemAttribute(const char* key, double* value) override;
  std::int32_t GetStructureCounts(std::int32_t* first, std::int32_t* nnz) override;
  std::int32_t GetJacobianStructure(const std::int32_t** rows, const std::int32_t** cols,
                                    std::int32_t* count) override;
  std::int32_t OnSolveCall() override { return 0; }
  std::int32_t SetMultipliers(const double* variable_multipliers,
                              const double* constraint_multipliers) override;

 private:
  // The VEKUtilityComponent view: its IUnknown slots forward to the problem's.
  class Utility final : public vek::VEKUtilityComponent {
   public:
    explicit Utility(HostProblem& owner) : owner_(owner) {}
    std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const vek::Guid& iid, void** out) override {
      return owner_.QueryInterface(iid, out);
    }
    std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return owner_.AddRef(); }
    std::int32_t VEK_IUNKNOWN_CALL Release() override { return owner_.Release(); }
    const char* GetVersion() override { return "1.0"; }
    const char* GetDescription() override { return owner_.description_.c_str(); }
    const char* GetName() override { return owner_.name_.c_str(); }

   private:
    HostProblem& owner_;
  };

  void evaluate_functions(vek::EvaluationBlock* block);
  void evaluate_derivatives(vek::EvaluationBlock* block);

  const problems::TestProblem& problem_;
  Utility utility_{*this};
  std::string name_;
  std::string description_;
  std::int32_t n_;
  std::int32_t m_;
  std::int32_t equalities_ = 0;
  std::vector<double> x_;
  std::vector<double> lower_, upper_;
  std::vector<std::int32_t> math_types_;
  std::vector<std::int32_t> rows_, cols_;  // 1-based
  std::vector<double> dense_jacobian_;
  std::vector<double> variable_scales_;
  double objective_scale_ = 1.0;
  bool has_objective_scale_ = false;
  std::vector<double> lambda_;
  int multiplier_calls_ = 0;
  long function_evaluations_ = 0;
  long derivative_evaluations_ = 0;
  int references_ = 0;
};

class HostSink final : public vek::MessageSink {
 public:
  explicit HostSink(bool echo) : echo_(echo) {}
  void Write(const char* text) override;
  // Marks the start of a Solve call: last_call_texts() then holds only what that call wrote.
  void begin_call() { call_texts_.clear(); }
  const std::vector<std::string>& last_call_texts() const { return call_texts_; }
  const std::string& all_text() const { return all_; }

 private:
  bool echo_;
  std::string all_;
  std::vector<std::string> call_texts_;
};

}  // namespace talvir::host
