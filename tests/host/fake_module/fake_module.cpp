// A stand-in solver module with parameters of its own ("Zeta", "Flavour"), for the reference host's
// tests: a host that learns the parameters through ParameterList describes and accepts these, not the
// ones of the module it was built with. It creates no solvers (CreateSolver answers -15).
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "plugin/interfaces.h"

namespace {

char* copy_text(const char* text) {
  char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
  if (copy != nullptr) std::strcpy(copy, text);
  return copy;
}

class FakeFactory final : public vek::NLPSystemFactory, public vek::ParameterList {
 public:
  std::int32_t VEK_IUNKNOWN_CALL QueryInterface(const vek::Guid& iid, void** out) override {
    if (out == nullptr) return vek::kENoInterface;
    if (iid == vek::kIidNLPSystemFactory || iid == vek::kIidIUnknown) {
      *out = static_cast<vek::NLPSystemFactory*>(this);
    } else if (iid == vek::kIidParameterList) {
      *out = static_cast<vek::ParameterList*>(this);
    } else {
      return vek::kENoInterface;
    }
    ++count_;
    return vek::kOk;
  }
  std::int32_t VEK_IUNKNOWN_CALL AddRef() override { return ++count_; }
  std::int32_t VEK_IUNKNOWN_CALL Release() override { return --count_; }
  std::int32_t CreateSolver(vek::NLPProblem*, vek::MessageSink*, vek::NLPSolver**) override {
    return vek::kNotAvailable;
  }
  std::int32_t GetParameterCount() override { return 2; }
  std::int32_t GetParameterNames(char** names) override {
    names[0] = copy_text("Zeta");
    names[1] = copy_text("Flavour");
    return vek::kOk;
  }
  std::int32_t GetParameterInfo(const char* name, vek::ParameterInfo* info) override {
    if (strcasecmp(name, "Zeta") == 0) {
      info->name = copy_text("Zeta");
      info->description = copy_text("Stand-in count of the fake module");
      info->type = vek::kIntegerParameter;
      info->value.integer = {1, 9, zeta_};
      return vek::kOk;
    }
    if (strcasecmp(name, "Flavour") == 0) {
      info->name = copy_text("Flavour");
      info->description = copy_text("Stand-in text of the fake module");
      info->type = vek::kTextParameter;
      info->value.text.value = copy_text("Sweet");
      info->value.text.options = copy_text("Sweet;Sour;");
      return vek::kOk;
    }
    return vek::kNoSuchParameter;
  }
  std::int32_t GetParameter(const char*, std::int32_t*, vek::ParameterValue*) override {
    return vek::kNoSuchParameter;
  }
  std::int32_t SetParameter(const char* name, std::int32_t, vek::ParameterValue value) override {
    if (strcasecmp(name, "Flavour") == 0) return vek::kOk;
    if (strcasecmp(name, "Zeta") != 0) return vek::kNoSuchParameter;
    if (value.integer < 1 || value.integer > 9) return vek::kValueOutOfRange;
    zeta_ = value.integer;
    return vek::kOk;
  }

 private:
  std::int32_t count_ = 0;
  std::int32_t zeta_ = 4;
};

FakeFactory the_factory;

}  // namespace

extern "C" VEK_EXPORT vek::NLPSystemFactory* GetFactoryNLPSystem() {
  the_factory.AddRef();
  return &the_factory;
}
