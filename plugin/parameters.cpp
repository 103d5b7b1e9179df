// The shared parameter table and the five ParameterList operations (contracts in plugin/parameters.h).
#include "plugin/parameters.h"

#include <cstdlib>
#include <cstring>

#include "services/VEKServices.h"

namespace vek::plugin {
namespace {

std::int32_t g_count = 0;
ParameterRecord* g_records = nullptr;

char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

ParameterRecord* find_record(const char* name) {
  return find_parameter_in(g_records, g_count, name);
}

// A copy for the caller, from the host's allocator; null when the source is null or memory is short.
char* host_copy(const char* text) {
  if (text == nullptr) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  char* copy = VEKServices::AllocateString(static_cast<std::int32_t>(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
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
  for (std::int32_t k = 0; k < kParameterCount; ++k) {
    if (!fill_record(kParameterDefinitions[k], records[k])) {
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

void build_parameter_table() {
  if (g_count != 0) return;  // present: the current values stay
  auto* records = static_cast<ParameterRecord*>(std::calloc(kParameterCount, sizeof(ParameterRecord)));
  if (records == nullptr) return;
  if (!fill_parameter_records(records)) {
    std::free(records);
    return;
  }
  g_records = records;
  g_count = kParameterCount;
}

void free_parameter_table() {
  free_parameter_records(g_records, g_count);
  std::free(g_records);
  g_records = nullptr;
  g_count = 0;
}

const ParameterRecord* find_parameter(const char* name) {
  return find_record(name);
}

const ParameterRecord* shared_parameter_records(std::int32_t& count) {
  count = g_count;
  return g_records;
}

std::int32_t parameter_count() {
  return g_count;
}

std::int32_t parameter_names(char** names) {
  if (names == nullptr) return kValueOutOfRange;
  for (std::int32_t k = 0; k < g_count; ++k) names[k] = host_copy(g_records[k].name);
  return kOk;
}

std::int32_t parameter_info(const char* name, ParameterInfo* info) {
  const ParameterRecord* record = find_record(name);
  if (record == nullptr) return kNoSuchParameter;
  if (info == nullptr) return kValueOutOfRange;
  info->name = host_copy(record->name);
  info->description = host_copy(record->description);
  info->type = record->type;
  info->value = record->value;
  if (record->type == kTextParameter) {
    info->value.text.value = host_copy(record->value.text.value);
    info->value.text.options = host_copy(record->value.text.options);
  }
  return kOk;
}

std::int32_t get_parameter(const char* name, std::int32_t* type, ParameterValue* value) {
  const ParameterRecord* record = find_record(name);
  if (record == nullptr) return kNoSuchParameter;
  if (type == nullptr || value == nullptr) return kValueOutOfRange;
  *type = record->type;
  if (record->type == kIntegerParameter) {
    value->integer = record->value.integer.value;
  } else if (record->type == kRealParameter) {
    value->real = record->value.real.value;
  } else {
    value->text = host_copy(record->value.text.value);
  }
  return kOk;
}

std::int32_t set_parameter(const char* name, std::int32_t /*type*/, ParameterValue value) {
  ParameterRecord* record = find_record(name);
  if (record == nullptr) return kNoSuchParameter;
  return store_parameter_value(*record, value);
}

std::int32_t store_parameter_value(ParameterRecord& record, ParameterValue value) {
  if (record.type == kIntegerParameter) {
    auto& r = record.value.integer;
    if (value.integer < r.minimum || value.integer > r.maximum) return kValueOutOfRange;
    r.value = value.integer;
  } else if (record.type == kRealParameter) {
    auto& r = record.value.real;
    // Written as "not within" so that a NaN, which compares false both ways, is refused.
    if (!(value.real >= r.minimum && value.real <= r.maximum)) return kValueOutOfRange;
    r.value = value.real;
  } else {
    if (value.text == nullptr) return kValueOutOfRange;
    char* copy = table_copy(value.text, 0);
    if (copy == nullptr) return kValueOutOfRange;
    std::free(record.value.text.value);
    record.value.text.value = copy;
  }
  return kOk;
}

}  // namespace vek::plugin
