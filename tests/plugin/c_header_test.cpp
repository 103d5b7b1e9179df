// plugin/vek_host.h, the declarations for hosts written in C, against the C++ declarations: every
// record field at the same offset, every identifier and code the same, every slot of a table at its
// documented number. A failure stops the build. (tests/c_host drives the module through these tables.)
#include <cstddef>

#include "driver/host_interfaces.h"
#include "plugin/interfaces.h"
#include "plugin/vek_host.h"

namespace {

#define SAME_FIELD(c_type, cpp_type, field)                             \
  static_assert(offsetof(c_type, field) == offsetof(cpp_type, field) && \
                    sizeof(c_type::field) == sizeof(cpp_type::field),   \
                #c_type "." #field)

static_assert(sizeof(VekEvaluationBlock) == sizeof(vek::EvaluationBlock));
SAME_FIELD(VekEvaluationBlock, vek::EvaluationBlock, host_data);
SAME_FIELD(VekEvaluationBlock, vek::EvaluationBlock, reserved);
SAME_FIELD(VekEvaluationBlock, vek::EvaluationBlock, objective);
SAME_FIELD(VekEvaluationBlock, vek::EvaluationBlock, gradient);
SAME_FIELD(VekEvaluationBlock, vek::EvaluationBlock, gradient_spare);
SAME_FIELD(VekEvaluationBlock, vek::EvaluationBlock, constraints);
SAME_FIELD(VekEvaluationBlock, vek::EvaluationBlock, jacobian);

static_assert(sizeof(VekParameterInfo) == sizeof(vek::ParameterInfo));
SAME_FIELD(VekParameterInfo, vek::ParameterInfo, name);
SAME_FIELD(VekParameterInfo, vek::ParameterInfo, description);
SAME_FIELD(VekParameterInfo, vek::ParameterInfo, type);
SAME_FIELD(VekParameterInfo, vek::ParameterInfo, value);
static_assert(sizeof(VekParameterData) == sizeof(vek::ParameterData) &&
              alignof(VekParameterData) == alignof(vek::ParameterData));
SAME_FIELD(VekParameterData, vek::ParameterData, integer.minimum);
SAME_FIELD(VekParameterData, vek::ParameterData, integer.maximum);
SAME_FIELD(VekParameterData, vek::ParameterData, integer.value);
SAME_FIELD(VekParameterData, vek::ParameterData, real.minimum);
SAME_FIELD(VekParameterData, vek::ParameterData, real.maximum);
SAME_FIELD(VekParameterData, vek::ParameterData, real.value);
SAME_FIELD(VekParameterData, vek::ParameterData, text.value);
SAME_FIELD(VekParameterData, vek::ParameterData, text.options);
static_assert(sizeof(VekParameterValue) == sizeof(vek::ParameterValue));
static_assert(sizeof(VekGuid) == sizeof(vek::Guid));

constexpr bool same(const VekGuid& c, const vek::Guid& cpp) {
  if (c.data1 != cpp.data1 || c.data2 != cpp.data2 || c.data3 != cpp.data3) return false;
  for (int k = 0; k < 8; ++k)
    if (c.data4[k] != cpp.data4[k]) return false;
  return true;
}
static_assert(same(VekGuid VEK_IID_IUNKNOWN, vek::kIidIUnknown));
static_assert(same(VekGuid VEK_IID_UTILITY_COMPONENT, vek::kIidVEKUtilityComponent));
static_assert(same(VekGuid VEK_IID_PARAMETER_LIST, vek::kIidParameterList));
static_assert(same(VekGuid VEK_IID_NLP_SYSTEM_FACTORY, vek::kIidNLPSystemFactory));
static_assert(same(VekGuid VEK_IID_NLP_SOLVER, vek::kIidNLPSolver));
static_assert(same(VekGuid VEK_IID_SOLVER_RESULTS, vek::kIidSolverResults));

static_assert(VEK_OK == vek::kOk && VEK_CALL_AGAIN == vek::kCallAgain &&
              VEK_SOLVE_FAILED == vek::kSolveFailed);
static_assert(VEK_VALUE_OUT_OF_RANGE == vek::kValueOutOfRange &&
              VEK_NO_SUCH_PARAMETER == vek::kNoSuchParameter);
static_assert(VEK_NOT_AVAILABLE == vek::kNotAvailable && VEK_E_NOINTERFACE == vek::kENoInterface);
static_assert(VEK_INTEGER_PARAMETER == vek::kIntegerParameter && VEK_REAL_PARAMETER == vek::kRealParameter &&
              VEK_TEXT_PARAMETER == vek::kTextParameter);
static_assert(VEK_REQUEST_START == vek::kRequestStart &&
              VEK_REQUEST_START_VARIANT == vek::kRequestStartVariant &&
              VEK_REQUEST_FUNCTIONS == vek::kRequestFunctions &&
              VEK_REQUEST_DERIVATIVES == vek::kRequestDerivatives &&
              VEK_REQUEST_VARIANT == vek::kRequestVariant && VEK_REQUEST_NONE == vek::kRequestNone);

// A slot's number: its offset in the table over the size of one entry.
#define SLOT(table, name, number)                                                               \
  static_assert(offsetof(table, name) == (number) * sizeof(void (*)()), #table "." #name " is " \
                                                                                         "slot " #number)

SLOT(VekUtilityComponentSlots, Release, 2);
SLOT(VekUtilityComponentSlots, GetName, 5);
SLOT(VekParameterListSlots, GetParameterCount, 3);
SLOT(VekParameterListSlots, SetParameter, 7);
SLOT(VekNLPSystemFactorySlots, CreateSolver, 3);
SLOT(VekNLPSolverSlots, Solve, 3);
SLOT(VekSolverResultsSlots, GetRealResult, 4);
SLOT(VekNLPProblemSlots, GetNumVariables, 3);
SLOT(VekNLPProblemSlots, GetVariableValues, 8);
SLOT(VekNLPProblemSlots, GetVariableAttribute, 11);
SLOT(VekNLPProblemSlots, GetConstraintAttribute, 15);
SLOT(VekNLPProblemSlots, GetProblemAttribute, 17);
SLOT(VekNLPProblemSlots, GetStructureCounts, 19);
SLOT(VekNLPProblemSlots, GetJacobianStructure, 20);
SLOT(VekNLPProblemSlots, OnSolveCall, 22);
SLOT(VekNLPProblemSlots, SetMultipliers, 23);
static_assert(sizeof(VekNLPProblemSlots) == 24 * sizeof(void (*)()));
SLOT(VekMessageSinkSlots, Write, 0);

}  // namespace
