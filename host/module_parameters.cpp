// The module's parameters learnt through ParameterList (see module_parameters.h for the contract).
#include "host/module_parameters.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "io/decimal_text.h"

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
  return vek::io::parse_decimal_integer(text.c_str(), value);
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
  return vek::io::parse_decimal_real(text.c_str(), &value->real);
}

}  // namespace talvir::host
