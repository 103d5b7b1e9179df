// UtilityComponentBase: reference count, version text and the utility view (contract in the header).
#include "plugin/UtilityComponentBase.h"

namespace vek::plugin {

UtilityComponentBase::UtilityComponentBase() {
  VEKServices::GetDLLVersionNumber(kLibraryFileName, version_);
}

std::int32_t UtilityComponentBase::answer(void* view, void** out) {
  *out = view;
  add_reference();
  return kOk;
}

std::int32_t UtilityComponentBase::release_reference() {
  const std::int32_t count = --count_;
  if (count == 0) delete this;  // virtual: destroys the whole object whatever view was released
  return count;
}

std::int32_t UtilityComponentBase::QueryInterface(const Guid& iid, void** out) {
  if (out == nullptr) return kENoInterface;
  if (iid == kIidVEKUtilityComponent || iid == kIidIUnknown) return answer(utility_view(), out);
  return kENoInterface;
}

}  // namespace vek::plugin
