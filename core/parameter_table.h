// The seven solver parameters as data: name, description, type, bounds and default, in table order.
// This one array drives every parameter table of the library (the plug-in's shared table, each native
// solver's own: lookup, validation, defaults), the reference host's --help and the documentation; tests
// loop over it. Plain data of the solve core: no interface type, no allocation; header-only, so a
// program may include it without linking anything.
//
// ParameterRecord is the layout of one entry of a live table (the current values): the plug-in's
// ParameterList hands out the same fields as its ParameterInfo (plugin/interfaces.h), which has this
// layout too. The integer bounds of a definition are stored as doubles because every one of them is
// exactly representable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::core {

// Parameter types of ParameterDefinition and ParameterRecord.
inline constexpr std::int32_t kIntegerParameter = 0;
inline constexpr std::int32_t kRealParameter = 1;
inline constexpr std::int32_t kTextParameter = 2;

// The value part of a record, aligned for a double.
union ParameterData {
  struct {
    std::int32_t minimum, maximum, value;
  } integer;
  struct {
    double minimum, maximum, value;
  } real;
  struct {
    char* value;    // current text
    char* options;  // allowed values, each followed by ";"
  } text;
};

// One value to store, read as the record's own type says.
union ParameterValue {
  std::int32_t integer;
  double real;
  const char* text;
};

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

// One record of a live table: fields in this order, the value part aligned for a double.
struct ParameterRecord {
  const char* name;
  const char* description;
  std::int32_t type;
  ParameterData value;  // text records: value and options are heap texts owned by the table
};

namespace record_layout {
inline constexpr std::size_t kPointer = sizeof(void*);
inline constexpr std::size_t kValueOffset = (2 * kPointer + 4 + 7) / 8 * 8;
}  // namespace record_layout

static_assert(sizeof(ParameterValue) == 8, "ParameterValue is an 8-byte union");
static_assert(sizeof(ParameterData) == 24 && alignof(ParameterData) == alignof(double));
static_assert(offsetof(ParameterData, integer.value) == 8 && offsetof(ParameterData, real.value) == 16);
static_assert(offsetof(ParameterData, text.options) == record_layout::kPointer);
static_assert(offsetof(ParameterRecord, description) == record_layout::kPointer);
static_assert(offsetof(ParameterRecord, type) == 2 * record_layout::kPointer);
static_assert(offsetof(ParameterRecord, value) == record_layout::kValueOffset);
static_assert(sizeof(ParameterRecord) == record_layout::kValueOffset + 24);

}  // namespace vek::core
