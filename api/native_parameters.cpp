// The native API's parameter definitions (contract in api/native_parameters.h).
#include "api/native_parameters.h"

#include <cstring>

#include "core/parameter_records.h"

namespace talvir_api {

const vek::core::ParameterDefinition& native_definition(std::int32_t k) {
  return k < vek::core::kParameterCount ? vek::core::kParameterDefinitions[k]
                                        : kNativeOnlyDefinitions[k - vek::core::kParameterCount];
}

bool closed_options(const vek::core::ParameterDefinition& def) {
  // The plug-in's "PrintLevel" reads every text but "Errors Only" as "Normal"; the native texts are closed.
  return def.type == vek::core::kTextParameter && &def != &vek::core::kParameterDefinitions[0];
}

bool text_is_option(const vek::core::ParameterDefinition& def, const char* text) {
  if (text == nullptr || def.options == nullptr) return false;
  char option[64];
  for (const char* start = def.options; *start != '\0';) {
    const char* stop = std::strchr(start, ';');
    const std::size_t length = stop != nullptr ? static_cast<std::size_t>(stop - start) : std::strlen(start);
    if (length < sizeof option) {
      std::memcpy(option, start, length);
      option[length] = '\0';
      if (vek::core::equal_ignoring_case(option, text)) return true;
    }
    if (stop == nullptr) break;
    start = stop + 1;
  }
  return false;
}

vek::engine::Strategy native_strategy(const vek::core::ParameterRecord* records) {
  constexpr std::int32_t kStrategy = native_index("Strategy");  // by index: this runs at every solve
  static_assert(kStrategy >= 0, "the native parameters exist");
  const bool faithful = vek::core::equal_ignoring_case(records[kStrategy].value.text.value, "Faithful");
  return faithful ? vek::engine::Strategy::faithful : vek::engine::Strategy::robust;
}

}  // namespace talvir_api
