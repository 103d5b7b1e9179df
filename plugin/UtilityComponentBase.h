// UtilityComponentBase: the reference count and the VEKUtilityComponent view shared by every object of
// the plug-in. One count per object, whatever view it is reached through; an object starts at 0 and
// destroys itself (through the virtual destructor) when a Release brings the count back to 0.
//
//   QueryInterface(iid, out)  VEKUtilityComponent and IUnknown: this view; else E_NOINTERFACE, out
//                             untouched. A successful answer adds one reference.
//   AddRef / Release          the count after the change; the Release that returns 0 destroyed the
//                             object.
//   GetVersion                the version text from VEKServices::GetDLLVersionNumber (12 bytes)
//   GetDescription, GetName   "TALVIR as ext VEK solver", "Solver TALVIR"
// The texts belong to the object; the caller does not free them.
#pragma once

#include <cstdint>

#include "plugin/interfaces.h"
#include "services/VEKServices.h"

namespace vek::plugin {

inline constexpr const char* kLibraryFileName = "vek_talvir.dll";
inline constexpr const char* kDescription = "TALVIR as ext VEK solver";
inline constexpr const char* kSolverName = "Solver TALVIR";

class UtilityComponentBase : public VEKUtilityComponent {
 public:
  UtilityComponentBase();
  UtilityComponentBase(const UtilityComponentBase&) = delete;
  UtilityComponentBase& operator=(const UtilityComponentBase&) = delete;

  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const Guid& iid, void** out) override;
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return add_reference(); }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return release_reference(); }
  const char* GetVersion() override { return version_; }
  const char* GetDescription() override { return kDescription; }
  const char* GetName() override { return kSolverName; }

  // Stores `view` in `out` and adds one reference: a successful QueryInterface answer.
  std::int32_t answer(void* view, void** out);
  VEKUtilityComponent* utility_view() { return this; }

 protected:
  std::int32_t add_reference() { return ++count_; }
  std::int32_t release_reference();

 private:
  std::int32_t count_ = 0;
  char version_[kVersionTextSize] = {};
};

}  // namespace vek::plugin
