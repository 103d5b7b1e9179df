// The shared parameter table and the five ParameterList operations (contracts in plugin/parameters.h).
#include "plugin/parameters.h"

#include <cstdlib>
#include <cstring>

#include "services/VEKServices.h"

namespace vek::plugin {
namespace {

std::int32_t g_count = 0;
ParameterRecord* g_records = nullptr;

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

}  // namespace

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

}  // namespace vek::plugin
