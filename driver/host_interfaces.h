// What the solver asks of its host: the problem object (NLPProblem, which also answers
// VEKUtilityComponent), the message sink, and the EvaluationBlock through which the host hands values.
//
// NLPProblem slots are numbered from 0; the unused ones are named placeholders so that every slot keeps
// its number (their default bodies answer -15, so a host need not write them). Indices are 0-based; a
// first-index argument of 0 covers all N variables. What the solver relies on, per slot:
//   3-5   counts: N >= 1, equalities, inequalities (M = equalities + inequalities); every Solve call
//   6     GetVariableBounds(0, lower[N], upper[N])        every start call
//   7     SetVariableValues(0, x[N])                       after every engine call: the next evaluation
//                                                          point
//   8     GetVariableValues(0, x[N])                       every start call: the starting point
//   11    GetVariableAttribute(i, "VariableScale", &d)     0 when the (non-zero) scale exists
//   15    GetConstraintAttribute(j, "MathType", &t)        first start call; t = 0 equality, 1 or 2
//                                                          c <= 0, 3 or 4 c >= 0
//   17    GetProblemAttribute("ObjectiveScale", &d)        0 when it exists
//   19    GetStructureCounts(&unused, &nnz)                every Solve call
//   20    GetJacobianStructure(&rows, &cols, &unused)      first start call: nnz 1-based (constraint,
//                                                          variable) pairs, valid for the solver's life
//   22    OnSolveCall()                                    once per Solve call, before the engine runs
//   23    SetMultipliers(zeros[N], lambda)                 once on convergence; lambda[0..M) are the
//                                                          constraint multipliers; valid during the call
// MessageSink::Write receives whole messages and listing chunks of at most 512 bytes (which may end in
// the middle of a line); each text is valid only during the call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/interfaces.h"

namespace vek {

class NLPProblem : public IUnknown {
 public:
  virtual std::int32_t GetNumVariables() = 0;     // slot 3
  virtual std::int32_t GetNumEqualities() = 0;    // slot 4
  virtual std::int32_t GetNumInequalities() = 0;  // slot 5
  virtual std::int32_t GetVariableBounds(std::int32_t first, double* lower, double* upper) = 0;
  virtual std::int32_t SetVariableValues(std::int32_t first, const double* x) = 0;  // slot 7
  virtual std::int32_t GetVariableValues(std::int32_t first, double* x) = 0;        // slot 8
  virtual std::int32_t Reserved09() { return kNotAvailable; }
  virtual std::int32_t Reserved10() { return kNotAvailable; }
  virtual std::int32_t GetVariableAttribute(std::int32_t index, const char* key, double* value) = 0;
  virtual std::int32_t Reserved12() { return kNotAvailable; }
  virtual std::int32_t Reserved13() { return kNotAvailable; }
  virtual std::int32_t Reserved14() { return kNotAvailable; }
  virtual std::int32_t GetConstraintAttribute(std::int32_t index, const char* key,
                                              std::int32_t* value) = 0;  // slot 15
  virtual std::int32_t Reserved16() { return kNotAvailable; }
  virtual std::int32_t GetProblemAttribute(const char* key, double* value) = 0;  // slot 17
  virtual std::int32_t Reserved18() { return kNotAvailable; }
  virtual std::int32_t GetStructureCounts(std::int32_t* first, std::int32_t* nnz) = 0;  // slot 19
  virtual std::int32_t GetJacobianStructure(const std::int32_t** rows, const std::int32_t** cols,
                                            std::int32_t* count) = 0;  // slot 20
  virtual std::int32_t Reserved21() { return kNotAvailable; }
  virtual std::int32_t OnSolveCall() = 0;  // slot 22
  virtual std::int32_t SetMultipliers(const double* variable_multipliers,
                                      const double* constraint_multipliers) = 0;  // slot 23

 protected:
  ~NLPProblem() = default;
};

// The host's text output object: not reference counted, not owned by the solver.
class MessageSink {
 public:
  virtual void Write(const char* text) = 0;  // slot 0

 protected:
  ~MessageSink() = default;
};

// Owned by the solver component; its address is handed to the host at every Solve call. After request
// 111/110 the host writes all four parts, after 7 (or 6 following a function request) the objective and
// constraints, after 105 (or 6 following a derivative request) the gradient and the Jacobian values.
struct EvaluationBlock {
  void* host_data;         // 0 when created; a non-null pointer stored here is freed with free()
  std::int32_t reserved;   // never read
  double objective;        // f(x)
  double* gradient;        // N + 1 doubles; df/dx_i in the first N
  double* gradient_spare;  // N + 1 doubles, never read
  double* constraints;     // M + 2 doubles; c_j(x) in the first M (c_1 >= 1e30: evaluation failed)
  double* jacobian;        // (M + 1)·N doubles; the k-th is d c_row[k] / d x_col[k], k < nnz
};

static_assert(offsetof(EvaluationBlock, reserved) == layout::kPointer);
static_assert(offsetof(EvaluationBlock, objective) == layout::round_up8(layout::kPointer + 4));
static_assert(offsetof(EvaluationBlock, gradient) == offsetof(EvaluationBlock, objective) + 8);
static_assert(offsetof(EvaluationBlock, gradient_spare) ==
              offsetof(EvaluationBlock, gradient) + layout::kPointer);
static_assert(offsetof(EvaluationBlock, constraints) ==
              offsetof(EvaluationBlock, gradient) + 2 * layout::kPointer);
static_assert(offsetof(EvaluationBlock, jacobian) ==
              offsetof(EvaluationBlock, gradient) + 3 * layout::kPointer);
static_assert(sizeof(EvaluationBlock) ==
              layout::round_up8(offsetof(EvaluationBlock, jacobian) + layout::kPointer));

// Request codes of Solve.
inline constexpr std::int32_t kRequestStart = 111;         // evaluate everything at the starting point
inline constexpr std::int32_t kRequestStartVariant = 110;  // the same, modes 3, 4, 5
inline constexpr std::int32_t kRequestFunctions = 7;       // objective and constraint values
inline constexpr std::int32_t kRequestDerivatives = 105;   // gradient and Jacobian values
inline constexpr std::int32_t kRequestVariant = 6;         // either, modes 3, 4, 5
inline constexpr std::int32_t kRequestNone = 0;            // the solve has ended

}  // namespace vek
