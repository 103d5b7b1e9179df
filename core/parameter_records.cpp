// Operations on a table of parameter records, shared by the plug-in's library-wide table and the
// native API's per-solver tables (contracts in core/parameter_records.h).
#include "core/parameter_records.h"

#include <cstdlib>
#include <cstring>

namespace vek::core {
namespace {

char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A copy owned by the table, at least `minimum` bytes long.
char* table_copy(const char* text, std::size_t minimum) {
  const std::size_t length = std::strlen(text) + 1;
  const std::size_t size = length > minimum ? length : minimum;
  char* copy = static_cast<char*>(std::calloc(size, 1));
  if (copy != nullptr) std::memcpy(copy, text, length);
  return copy;
}

// False when a text record's heap texts could not be made (nothing is kept then).
bool fill_record(const ParameterDefinition& def, ParameterRecord& record) {
  record.name = def.name;
  record.description = def.description;
  record.type = def.type;
  if (def.type == kIntegerParameter) {
    record.value.integer.minimum = static_cast<std::int32_t>(def.minimum);
    record.value.integer.maximum = static_cast<std::int32_t>(def.maximum);
    record.value.integer.value = static_cast<std::int32_t>(def.default_number);
  } else if (def.type == kRealParameter) {
    record.value.real.minimum = def.minimum;
    record.value.real.maximum = def.maximum;
    record.value.real.value = def.default_number;
  } else {
    record.value.text.value = table_copy(def.default_text, kPrintLevelBuffer);
    record.value.text.options = table_copy(def.options, 0);
    if (record.value.text.value == nullptr || record.value.text.options == nullptr) {
      std::free(record.value.text.value);
      std::free(record.value.text.options);
      record.value.text.value = record.value.text.options = nullptr;
      return false;
    }
  }
  return true;
}

}  // namespace

bool equal_ignoring_case(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (ascii_lower(*a) != ascii_lower(*b)) return false;
  }
  return *a == *b;
}

bool fill_parameter_records(ParameterRecord* records) {
  return fill_parameter_records(records, kParameterDefinitions, kParameterCount);
}

bool fill_parameter_records(ParameterRecord* records, const ParameterDefinition* definitions,
                            std::int32_t count) {
  for (std::int32_t k = 0; k < count; ++k) {
    if (!fill_record(definitions[k], records[k])) {
      free_parameter_records(records, k);
      return false;
    }
  }
  return true;
}

void free_parameter_records(ParameterRecord* records, std::int32_t count) {
  for (std::int32_t k = 0; k < count; ++k) {
    if (records[k].type == kTextParameter) {
      std::free(records[k].value.text.value);
      std::free(records[k].value.text.options);
      records[k].value.text.value = records[k].value.text.options = nullptr;
    }
  }
}

ParameterRecord* find_parameter_in(ParameterRecord* records, std::int32_t count, const char* name) {
  if (name == nullptr) return nullptr;
  for (std::int32_t k = 0; k < count; ++k) {
    if (equal_ignoring_case(records[k].name, name)) return &records[k];
  }
  return nullptr;
}

const ParameterRecord* find_parameter_in(const ParameterRecord* records, std::int32_t count,
                                         const char* name) {
  return find_parameter_in(const_cast<ParameterRecord*>(records), count, name);
}

bool store_parameter_value(ParameterRecord& record, ParameterValue value) {
  if (record.type == kIntegerParameter) {
    auto& r = record.value.integer;
    if (value.integer < r.minimum || value.integer > r.maximum) return false;
    r.value = value.integer;
  } else if (record.type == kRealParameter) {
    auto& r = record.value.real;
    // Written as "not within" so that a NaN, which compares false both ways, is refused.
    if (!(value.real >= r.minimum && value.real <= r.maximum)) return false;
    r.value = value.real;
  } else {
    if (value.text == nullptr) return false;
    char* copy = table_copy(value.text, 0);
    if (copy == nullptr) return false;
    std::free(record.value.text.value);
    record.value.text.value = copy;
  }
  return true;
}

}  // namespace vek::core
