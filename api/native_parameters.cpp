// The native API's parameter definitions (contract in api/native_parameters.h).
#include "api/native_parameters.h"

#include <cstring>

#include "plugin/parameter_records.h"

namespace talvir_api {

const vek::ParameterDefinition& native_definition(std::int32_t k) {
  return k < vek::kParameterCount ? vek::kParameterDefinitions[k]
                                  : kNativeOnlyDefinitions[k - vek::kParameterCount];
}

bool closed_options(const vek::ParameterDefinition& def) {
  // The plug-in's "PrintLevel" reads every text but "Errors Only" as "Normal"; the native texts are closed.
  return def.type == vek::kTextParameter && &def != &vek::kParameterDefinitions[0];
}

bool text_is_option(const vek::ParameterDefinition& def, const char* text) {
  if (text == nullptr || def.options == nullptr) return false;
  char option[64];
  for (const char* start = def.options; *start != '\0';) {
    const char* stop = std::strchr(start, ';');
    const std::size_t length = stop != nullptr ? static_cast<std::size_t>(stop - start) : std::strlen(start);
    if (length < sizeof option) {
      std::memcpy(option, start, length);
      option[length] = '\0';
      if (vek::plugin::equal_ignoring_case(option, text)) return true;
    }
    if (stop == nullptr) break;
    start = stop + 1;
  }
  return false;
}

vek::engine::Strategy native_strategy(const vek::ParameterRecord* records) {
  const vek::ParameterRecord* r = vek::plugin::find_parameter_in(records, kNativeParameterCount, "Strategy");
  const bool faithful = r != nullptr && vek::plugin::equal_ignoring_case(r->value.text.value, "Faithful");
  return faithful ? vek::engine::Strategy::faithful : vek::engine::Strategy::robust;
}

}  // namespace talvir_api
