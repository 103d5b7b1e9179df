// The seven solver parameters as data: name, description, type, bounds and default, in table order.
// This one array drives the library's shared parameter table (lookup, validation, defaults), the
// reference host's --help and the documentation; tests loop over it. Read-only, header-only: a host
// program may include it without linking the plug-in.
//
// ParameterRecord is the layout of one entry of the library's shared table (the live values); the
// integer bounds are stored as doubles here because every one of them is exactly representable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/interfaces.h"

namespace vek {

struct ParameterDefinition {
  const char* name;
  const char* description;
  std::int32_t type;         // kIntegerParameter, kRealParameter or kTextParameter
  double minimum;            // numeric records, inclusive
  double maximum;            // numeric records, inclusive
  double default_number;     // numeric records
  const char* default_text;  // text records
  const char* options;       // text records: the allowed values, each followed by ";"
};

inline constexpr ParameterDefinition kParameterDefinitions[] = {
    {"PrintLevel", "Print level", kTextParameter, 0, 0, 0, "Errors Only", "Errors Only;Normal;"},
    {"PrintFreq", "Print step information every x iterations", kIntegerParameter, 1, 10000000, 1, nullptr,
     nullptr},
    {"StepSize", "Step size limit", kRealParameter, 0.0, 1.0, 0.5, nullptr, nullptr},
    {"MaxIterations", "Maximum Iterations", kIntegerParameter, 1, 99999, 100, nullptr, nullptr},
    {"MaxLineSearches", "Maximum number of line searches", kIntegerParameter, 0, 100000, 5, nullptr, nullptr},
    {"OptTol", "Optimization convergence tolerance", kRealParameter, 0.0, 1.0e10, 1.0e-6, nullptr, nullptr},
    {"QPMode", "QP initialization mode (0=normal;1=reliable)", kIntegerParameter, 0, 1, 0, nullptr, nullptr},
};
inline constexpr std::int32_t kParameterCount =
    static_cast<std::int32_t>(sizeof(kParameterDefinitions) / sizeof(kParameterDefinitions[0]));
static_assert(kParameterCount == 7, "the solver has seven parameters");

// Size of the heap buffer that holds the default "PrintLevel" text.
inline constexpr std::size_t kPrintLevelBuffer = 20;

// One record of the shared table: fields in this order, the value part aligned for a double.
struct ParameterRecord {
  const char* name;
  const char* description;
  std::int32_t type;
  ParameterData value;  // text records: value and options are heap texts owned by the table
};

static_assert(offsetof(ParameterRecord, description) == layout::kPointer);
static_assert(offsetof(ParameterRecord, type) == 2 * layout::kPointer);
static_assert(offsetof(ParameterRecord, value) == layout::kParameterDataOffset);
static_assert(sizeof(ParameterRecord) == layout::kParameterDataOffset + 24);

}  // namespace vek
