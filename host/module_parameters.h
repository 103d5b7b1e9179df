// The solver parameters as the loaded module describes them. A host knows only the interfaces, so it
// learns names, descriptions, types, ranges and options through ParameterList (GetParameterCount,
// GetParameterNames, GetParameterInfo) and parses and explains values from those answers.
//
// read_module_parameters(list, &params)  asks `list` for every parameter, in the module's order;
//                                        returns an empty text, or what went wrong (a refused
//                                        query). Texts the module hands out are copied and freed.
// find_module_parameter(params, name)    the entry whose name equals `name` ignoring ASCII letter case,
//                                        or null.
// accepted_values(p)                     "an integer from 1 to 99999", "a number from 0 to 1",
//                                        "one of: Errors Only,Normal".
// parse_parameter_value(p, text, &v)     true when `text` is exactly a value of p's type: an integer is
//                                        an optional sign and decimal digits; a real a decimal number
//                                        (digits with an optional point and exponent: no blanks, no
//                                        hexadecimal, no inf or nan); a text one of p's options,
//                                        ignoring letter case (v.text is then left for the caller).
//                                        Range checks are the module's (SetParameter answers -10).
// parse_decimal_integer(text, &v)        the integer grammar above, within 32 bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/interfaces.h"

namespace talvir::host {

struct ModuleParameter {
  std::string name, description;
  std::int32_t type = 0;  // vek::kIntegerParameter, kRealParameter or kTextParameter
  double minimum = 0.0, maximum = 0.0, number = 0.0;  // numeric parameters; number is the current value
  std::string text, options;                          // text parameters: current value, "a;b;" options
};

std::string read_module_parameters(vek::ParameterList* list, std::vector<ModuleParameter>* params);
const ModuleParameter* find_module_parameter(const std::vector<ModuleParameter>& params,
                                             const std::string& name);
std::string accepted_values(const ModuleParameter& p);
bool parse_parameter_value(const ModuleParameter& p, const std::string& text, vek::ParameterValue* value);
bool parse_decimal_integer(const std::string& text, long long* value);

}  // namespace talvir::host
