// The shared parameter table and the five ParameterList operations (contracts in plugin/parameters.h):
// the core's records, handed out and stored through the interface's records.
#include "plugin/parameters.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "services/VEKServices.h"

namespace vek::plugin {
namespace {

// The core's records have the layout of the interface's, field by field.
static_assert(core::kIntegerParameter == kIntegerParameter && core::kRealParameter == kRealParameter &&
              core::kTextParameter == kTextParameter);
static_assert(offsetof(core::ParameterRecord, value) == offsetof(ParameterInfo, value) &&
              sizeof(core::ParameterRecord) == sizeof(ParameterInfo));
static_assert(sizeof(core::ParameterData) == sizeof(ParameterData) &&
              sizeof(core::ParameterValue) == sizeof(ParameterValue));

std::int32_t g_count = 0;
core::ParameterRecord* g_records = nullptr;

core::ParameterRecord* find_record(const char* name) {
  return core::find_parameter_in(g_records, g_count, name);
}

// A copy for the caller, from the host's allocator; null when the source is null or memory is short.
char* host_copy(const char* text) {
  if (text == nullptr) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  char* copy = VEKServices::AllocateString(static_cast<std::int32_t>(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

// The record's bounds and value as the interface's value part; texts are new copies for the caller.
ParameterData interface_data(const core::ParameterRecord& record) {
  ParameterData data{};
  if (record.type == kIntegerParameter) {
    data.integer = {record.value.integer.minimum, record.value.integer.maximum, record.value.integer.value};
  } else if (record.type == kRealParameter) {
    data.real = {record.value.real.minimum, record.value.real.maximum, record.value.real.value};
  } else {
    data.text = {host_copy(record.value.text.value), host_copy(record.value.text.options)};
  }
  return data;
}

// The interface's value as the core's, read as the record's type says.
core::ParameterValue core_value(const core::ParameterRecord& record, ParameterValue value) {
  core::ParameterValue v{};
  if (record.type == kIntegerParameter) {
    v.integer = value.integer;
  } else if (record.type == kRealParameter) {
    v.real = value.real;
  } else {
    v.text = value.text;
  }
  return v;
}

}  // namespace

void build_parameter_table() {
  if (g_count != 0) return;  // present: the current values stay
  auto* records =
      static_cast<core::ParameterRecord*>(std::calloc(core::kParameterCount, sizeof(core::ParameterRecord)));
  if (records == nullptr) return;
  if (!core::fill_parameter_records(records)) {
    std::free(records);
    return;
  }
  g_records = records;
  g_count = core::kParameterCount;
}

void free_parameter_table() {
  core::free_parameter_records(g_records, g_count);
  std::free(g_records);
  g_records = nullptr;
  g_count = 0;
}

const core::ParameterRecord* find_parameter(const char* name) {
  return find_record(name);
}

const core::ParameterRecord* shared_parameter_records(std::int32_t& count) {
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
  const core::ParameterRecord* record = find_record(name);
  if (record == nullptr) return kNoSuchParameter;
  if (info == nullptr) return kValueOutOfRange;
  info->name = host_copy(record->name);
  info->description = host_copy(record->description);
  info->type = record->type;
  info->value = interface_data(*record);
  return kOk;
}

std::int32_t get_parameter(const char* name, std::int32_t* type, ParameterValue* value) {
  const core::ParameterRecord* record = find_record(name);
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
  core::ParameterRecord* record = find_record(name);
  if (record == nullptr) return kNoSuchParameter;
  return core::store_parameter_value(*record, core_value(*record, value)) ? kOk : kValueOutOfRange;
}

}  // namespace vek::plugin
