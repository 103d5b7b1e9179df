// ParameterSet: ParameterList slots forwarded to the shared parameter table (contract in the header).
#include "plugin/ParameterSet.h"

#include "plugin/parameters.h"

namespace vek::plugin {

ParameterSet::ParameterSet() {
  build_parameter_table();
}

std::int32_t ParameterSet::QueryInterface(const Guid& iid, void** out) {
  if (out == nullptr) return kENoInterface;
  if (iid == kIidParameterList) return answer(parameter_view(), out);
  if (iid == kIidVEKUtilityComponent || iid == kIidIUnknown) return answer(utility_view(), out);
  return kENoInterface;
}

std::int32_t ParameterSet::GetParameterCount() {
  return parameter_count();
}

std::int32_t ParameterSet::GetParameterNames(char** names) {
  return parameter_names(names);
}

std::int32_t ParameterSet::GetParameterInfo(const char* name, ParameterInfo* info) {
  return parameter_info(name, info);
}

std::int32_t ParameterSet::GetParameter(const char* name, std::int32_t* type, ParameterValue* value) {
  return get_parameter(name, type, value);
}

std::int32_t ParameterSet::SetParameter(const char* name, std::int32_t type, ParameterValue value) {
  return set_parameter(name, type, value);
}

}  // namespace vek::plugin
