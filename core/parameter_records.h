// Operations on a table of parameter records: the plug-in's library-wide table (plugin/parameters.h)
// and each native solver's own table (api/) use the same ones, so names, bounds, defaults and refusals
// agree. No allocation through any host's services: texts are the table's own heap copies.
//
//   fill_parameter_records(records)   kParameterCount records with the defaults (text values on the
//                                     heap); false when memory is short, with nothing kept; an
//                                     overload fills the records of another table of definitions
//   free_parameter_records(records, count)   frees the texts of the text records
//   find_parameter_in(records, count, name)  the first record of `name` (ASCII case ignored), or null
//   store_parameter_value(record, value)     stores `value`, read as the record's type says: true when
//                                            stored; false, with nothing changed, for a number outside
//                                            [minimum, maximum] (NaN included), a null text or a text
//                                            that cannot be copied
//   equal_ignoring_case(a, b)                ASCII case-insensitive equality of two NUL-terminated
//                                            texts (false when either is null)
#pragma once

#include <cstdint>

#include "core/parameter_table.h"

namespace vek::core {

bool fill_parameter_records(ParameterRecord* records);
// The same for `count` records from `definitions`.
bool fill_parameter_records(ParameterRecord* records, const ParameterDefinition* definitions,
                            std::int32_t count);
void free_parameter_records(ParameterRecord* records, std::int32_t count);
ParameterRecord* find_parameter_in(ParameterRecord* records, std::int32_t count, const char* name);
const ParameterRecord* find_parameter_in(const ParameterRecord* records, std::int32_t count,
                                         const char* name);
bool store_parameter_value(ParameterRecord& record, ParameterValue value);

bool equal_ignoring_case(const char* a, const char* b);

}  // namespace vek::core
