// ParameterSet: the ParameterList view over the library's shared parameter table. Construction builds
// the table with default values when it does not exist. The object it is called through makes no
// difference: every slot acts on the shared table (plugin/parameters.h has the operations' contracts).
//
//   QueryInterface: ParameterList -> parameter view; VEKUtilityComponent, IUnknown -> utility view.
#pragma once

#include "plugin/UtilityComponentBase.h"

namespace vek::plugin {

class ParameterSet : public ParameterList, public UtilityComponentBase {
 public:
  ParameterSet();

  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const Guid& iid, void** out) override;
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return add_reference(); }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return release_reference(); }

  std::int32_t GetParameterCount() override;
  std::int32_t GetParameterNames(char** names) override;
  std::int32_t GetParameterInfo(const char* name, ParameterInfo* info) override;
  std::int32_t GetParameter(const char* name, std::int32_t* type, ParameterValue* value) override;
  std::int32_t SetParameter(const char* name, std::int32_t type, ParameterValue value) override;

  ParameterList* parameter_view() { return this; }
};

}  // namespace vek::plugin
