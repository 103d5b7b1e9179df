// The library's shared parameter table and the five ParameterList operations on it: the records of the
// solve core (core/parameter_records.h) behind the interface's ParameterInfo and ParameterValue.
//
// One table per library, built from kParameterDefinitions by build_parameter_table() when it does not exist
// (count 0), freed by free_parameter_table() (the factory's destruction). While it is absent every
// operation behaves as for an empty table. Unsynchronised: all calls come on the host's thread.
//
// Names are looked up in table order ignoring ASCII letter case; the first match is used.
// Operations (texts handed out are new copies from VEKServices::AllocateString, owned by the caller):
//   parameter_count()                    7 while the table exists, 0 otherwise
//   parameter_names(names)               stores a copy of each name; 0 (-10 for a null array)
//   parameter_info(name, info)           fills info; 0, -11 unknown name, -10 null info
//   get_parameter(name, type, value)     record type and current value; 0, -11, -10 null out-pointer
//   set_parameter(name, type, value)     type code ignored; integer/real outside [min, max] (NaN
//                                        included) -10, text copied (a null text -10); 0 when stored
// A null name is a name that matches no record: -11. Nothing is written or changed on a failure.
#pragma once

#include <cstdint>

#include "core/parameter_records.h"
#include "plugin/interfaces.h"

namespace vek::plugin {

void build_parameter_table();
void free_parameter_table();

std::int32_t parameter_count();
std::int32_t parameter_names(char** names);
std::int32_t parameter_info(const char* name, ParameterInfo* info);
std::int32_t get_parameter(const char* name, std::int32_t* type, ParameterValue* value);
std::int32_t set_parameter(const char* name, std::int32_t type, ParameterValue value);

// The live record of `name` (ASCII case ignored), or null when absent or the table does not exist.
const core::ParameterRecord* find_parameter(const char* name);
// The shared table's records and their count (null and 0 while it does not exist).
const core::ParameterRecord* shared_parameter_records(std::int32_t& count);

}  // namespace vek::plugin
