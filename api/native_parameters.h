// The parameters of the native API (and of the doors above it: AMPL, Python): the plug-in's seven,
// then the native ones below, in this order. Each handle keeps records of all of them, made by the
// shared record operations (core/parameter_records.h).
//
//   native_definition(k)      the k-th definition, 0 <= k < kNativeParameterCount
//   closed_options(def)       true when a text parameter takes only the values of its options list
//   text_is_option(def, t)    t (ASCII case ignored) is one of the options of def
//   native_strategy(records)  the engine strategy that the "Strategy" record names
#pragma once

#include <cstdint>

#include "core/parameter_table.h"
#include "engine/MxiterState.h"

namespace talvir_api {

inline constexpr vek::core::ParameterDefinition kNativeOnlyDefinitions[] = {
    {"Strategy",
     "Solution strategy (Faithful: the documented method; Robust: the same until it would stop, then it "
     "carries on)",
     vek::core::kTextParameter, 0, 0, 0, "Robust", "Faithful;Robust;"},
    {"Log", "One line per iteration and a final summary to the listing sink (0 off, 1 on)",
     vek::core::kIntegerParameter, 0, 1, 0, nullptr, nullptr},
    {"TimeLimit", "Seconds of wall time a solve may take (0: no limit)", vek::core::kRealParameter, 0, 1e10,
     0, nullptr, nullptr},
    {"MaxEvaluations", "Function evaluations a solve may make (0: no limit)", vek::core::kIntegerParameter, 0,
     2147483647, 0, nullptr, nullptr},
    {"CheckDerivatives",
     "Check the derivatives at the start point before a callback solve, reporting to the listing sink (0 "
     "off, "
     "1 on)",
     vek::core::kIntegerParameter, 0, 1, 0, nullptr, nullptr},
};
inline constexpr std::int32_t kNativeOnlyCount =
    static_cast<std::int32_t>(sizeof(kNativeOnlyDefinitions) / sizeof(kNativeOnlyDefinitions[0]));
inline constexpr std::int32_t kNativeParameterCount = vek::core::kParameterCount + kNativeOnlyCount;

// The record index of a native-only parameter, found when compiled (names as in the table).
constexpr std::int32_t native_index(const char* name) {
  for (std::int32_t k = 0; k < kNativeOnlyCount; ++k) {
    const char* a = kNativeOnlyDefinitions[k].name;
    const char* b = name;
    while (*a != '\0' && *a == *b) ++a, ++b;
    if (*a == *b) return vek::core::kParameterCount + k;
  }
  return -1;
}

const vek::core::ParameterDefinition& native_definition(std::int32_t k);
bool closed_options(const vek::core::ParameterDefinition& def);
bool text_is_option(const vek::core::ParameterDefinition& def, const char* text);
vek::engine::Strategy native_strategy(const vek::core::ParameterRecord* records);

}  // namespace talvir_api
