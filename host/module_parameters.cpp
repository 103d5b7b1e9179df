// The module's parameters learnt through ParameterList (see module_parameters.h for the contract).
#include "host/module_parameters.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace talvir::host {
namespace {

// Copies a text the module handed out and frees it (the stand-in services allocate with malloc).
std::string take_text(char* text) {
  std::string copy = text != nullptr ? text : "";
  std::free(text);
  return copy;
}

std::string read_one(vek::ParameterList* list, const std::string& name, ModuleParameter* p) {
  vek::ParameterInfo info{};
  const std::int32_t rc = list->GetParameterInfo(name.c_str(), &info);
  if (rc != vek::kOk)
    return "the module refused GetParameterInfo for " + name + " (code " + std::to_string(rc) + ")";
  p->name = take_text(info.name);
  p->description = take_text(info.description);
  p->type = info.type;
  if (info.type == vek::kIntegerParameter) {
    p->minimum = info.value.integer.minimum;
    p->maximum = info.value.integer.maximum;
    p->number = info.value.integer.value;
  } else if (info.type == vek::kRealParameter) {
    p->minimum = info.value.real.minimum;
    p->maximum = info.value.real.maximum;
    p->number = info.value.real.value;
  } else if (info.type == vek::kTextParameter) {
    p->text = take_text(info.value.text.value);
    p->options = take_text(info.value.text.options);
  } else {
    return "the module describes " + name + " with the unknown type " + std::to_string(info.type);
  }
  return {};
}

// The ';'-terminated options as a list.
std::vector<std::string> option_list(const std::string& options) {
  std::vector<std::string> list;
  std::size_t begin = 0;
  for (std::size_t end = options.find(';'); end != std::string::npos; end = options.find(';', begin)) {
    list.push_back(options.substr(begin, end - begin));
    begin = end + 1;
  }
  return list;
}

std::size_t digits_from(const std::string& s, std::size_t k) {
  std::size_t n = 0;
  while (k + n < s.size() && s[k + n] >= '0' && s[k + n] <= '9') ++n;
  return n;
}

std::size_t sign_length(const std::string& s, std::size_t k) {
  return k < s.size() && (s[k] == '+' || s[k] == '-') ? 1 : 0;
}

// [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?, and nothing else.
bool is_decimal_number(const std::string& s) {
  std::size_t k = sign_length(s, 0);
  const std::size_t whole = digits_from(s, k);
  k += whole;
  std::size_t fraction = 0;
  if (k < s.size() && s[k] == '.') {
    fraction = digits_from(s, k + 1);
    k += 1 + fraction;
  }
  if (whole + fraction == 0) return false;
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
    k += 1 + sign_length(s, k + 1);
    const std::size_t exponent = digits_from(s, k);
    if (exponent == 0) return false;
    k += exponent;
  }
  return k == s.size();
}

}  // namespace

std::string read_module_parameters(vek::ParameterList* list, std::vector<ModuleParameter>* params) {
  params->clear();
  const std::int32_t count = list->GetParameterCount();
  if (count <= 0) return {};
  std::vector<char*> names(static_cast<std::size_t>(count), nullptr);
  const std::int32_t rc = list->GetParameterNames(names.data());
  std::vector<std::string> copies;
  for (char* name : names) copies.push_back(take_text(name));
  if (rc != vek::kOk) return "the module refused GetParameterNames (code " + std::to_string(rc) + ")";
  for (const std::string& name : copies) {
    ModuleParameter p;
    const std::string error = read_one(list, name, &p);
    if (!error.empty()) return error;
    params->push_back(p);
  }
  return {};
}

const ModuleParameter* find_module_parameter(const std::vector<ModuleParameter>& params,
                                             const std::string& name) {
  for (const ModuleParameter& p : params) {
    if (strcasecmp(p.name.c_str(), name.c_str()) == 0) return &p;
  }
  return nullptr;
}

std::string accepted_values(const ModuleParameter& p) {
  char buffer[160];
  if (p.type == vek::kIntegerParameter) {
    std::snprintf(buffer, sizeof(buffer), "an integer from %.0f to %.0f", p.minimum, p.maximum);
    return buffer;
  }
  if (p.type == vek::kRealParameter) {
    std::snprintf(buffer, sizeof(buffer), "a number from %g to %g", p.minimum, p.maximum);
    return buffer;
  }
  std::string text = "one of: ";
  const std::vector<std::string> options = option_list(p.options);
  for (std::size_t k = 0; k < options.size(); ++k) text += (k == 0 ? "" : ",") + options[k];
  return text;
}

bool parse_decimal_integer(const std::string& text, long long* value) {
  const std::size_t first = sign_length(text, 0);
  if (text.size() == first || digits_from(text, first) != text.size() - first) return false;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  *value = v;
  return true;
}

bool parse_parameter_value(const ModuleParameter& p, const std::string& text, vek::ParameterValue* value) {
  if (p.type == vek::kTextParameter) {
    for (const std::string& option : option_list(p.options)) {
      if (strcasecmp(option.c_str(), text.c_str()) == 0) return true;
    }
    return false;
  }
  if (p.type == vek::kIntegerParameter) {
    long long v = 0;
    if (!parse_decimal_integer(text, &v)) return false;
    value->integer = static_cast<std::int32_t>(v);
    return true;
  }
  if (!is_decimal_number(text)) return false;
  errno = 0;
  const double v = std::strtod(text.c_str(), nullptr);
  if (errno != 0 || !std::isfinite(v)) return false;
  value->real = v;
  return true;
}

}  // namespace talvir::host
