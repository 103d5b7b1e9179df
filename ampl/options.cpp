// The AMPL driver's keyword table and its keyword functions. Contract in ampl/options.h.
#include "ampl/options.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/parameter_table.h"

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

#ifndef TALVIR_VERSION
#define TALVIR_VERSION "0.0.0"
#endif

namespace talvir::ampl {
namespace {

// An integer keyword of the driver with its accepted range.
struct IntegerKeyword {
  int AmplOptions::*field;
  int minimum, maximum;
};

constexpr IntegerKeyword kOutlev{&AmplOptions::outlev, 0, 2};
constexpr IntegerKeyword kTiming{&AmplOptions::timing, 0, 2};
constexpr IntegerKeyword kObjno{&AmplOptions::objno, 0, 1000000000};

AmplOptions& options_of(Option_Info* oi) {
  return *reinterpret_cast<AmplOptions*>(oi->uinfo);
}

// The end of the value that starts at `value`: after a closing quote for a quoted value, else at the
// first blank. `token` receives the value without quotes.
char* value_end(char* value, std::string& token) {
  if (*value == '"' || *value == '\'') {
    const char quote = *value;
    char* close = std::strchr(value + 1, quote);
    if (close != nullptr) {
      token.assign(value + 1, close);
      return close + 1;
    }
  }
  char* end = value;
  while (*end != '\0' && !std::isspace(static_cast<unsigned char>(*end))) ++end;
  token.assign(value, end);
  return end;
}

bool parse_number(const std::string& token, double& number) {
  if (token.empty()) return false;
  char* stop = nullptr;
  errno = 0;
  number = std::strtod(token.c_str(), &stop);
  return *stop == '\0' && errno == 0 && std::isfinite(number);
}

bool is_whole(double number) {
  return std::floor(number) == number;
}

// The value text of one of the seven parameters, or "" when `token` is not an acceptable value.
std::string parameter_value(const vek::ParameterDefinition& entry, const std::string& token) {
  if (entry.type == vek::kTextParameter) return text_parameter_value(entry.options, token);
  double number = 0.0;
  if (!parse_number(token, number) || number < entry.minimum || number > entry.maximum) return "";
  if (entry.type == vek::kIntegerParameter && !is_whole(number)) return "";
  return token;
}

char* parameter_keyword(Option_Info* oi, keyword* kw, char* value) {
  const auto& entry = *static_cast<const vek::ParameterDefinition*>(kw->info);
  std::string token;
  char* end = value_end(value, token);
  const std::string checked = parameter_value(entry, token);
  if (checked.empty()) return badval_ASL(oi, kw, value, end);
  options_of(oi).parameters.emplace_back(entry.name, checked);
  return end;
}

char* integer_keyword(Option_Info* oi, keyword* kw, char* value) {
  const auto& spec = *static_cast<const IntegerKeyword*>(kw->info);
  std::string token;
  char* end = value_end(value, token);
  double number = 0.0;
  if (!parse_number(token, number) || !is_whole(number) || number < spec.minimum || number > spec.maximum)
    return badval_ASL(oi, kw, value, end);
  AmplOptions& options = options_of(oi);
  options.*spec.field = static_cast<int>(number);
  if (spec.field == &AmplOptions::objno) options.objno_given = true;
  return end;
}

// One description per solver parameter, made once from the parameter table.
const std::string& parameter_description(int index) {
  static const std::array<std::string, vek::kParameterCount> texts = [] {
    std::array<std::string, vek::kParameterCount> out;
    for (int k = 0; k < vek::kParameterCount; ++k) {
      const vek::ParameterDefinition& e = vek::kParameterDefinitions[k];
      char range[160];
      if (e.type == vek::kTextParameter) {
        std::snprintf(range, sizeof(range), "\"Errors Only\" (or errors_only) or \"Normal\"; default \"%s\"",
                      e.default_text);
      } else {
        std::snprintf(range, sizeof(range), "%s %g .. %g; default %g",
                      e.type == vek::kIntegerParameter ? "integer" : "real", e.minimum, e.maximum,
                      e.default_number);
      }
      out[k] = std::string(e.name) + ": " + e.description + " (" + range + ")";
    }
    return out;
  }();
  return texts[index];
}

char* text(const char* literal) {
  return const_cast<char*>(literal);
}  // ASL never writes through it

// The keyword of the solver parameter `table_name`, described from the table unless `description`.
keyword parameter_entry(const char* lower_name, const char* table_name, const char* description = nullptr) {
  for (int k = 0; k < vek::kParameterCount; ++k) {
    const vek::ParameterDefinition* entry = &vek::kParameterDefinitions[k];
    if (std::strcmp(entry->name, table_name) == 0) {
      return {text(lower_name), parameter_keyword, const_cast<vek::ParameterDefinition*>(entry),
              text(description ? description : parameter_description(k).c_str())};
    }
  }
  return {text(lower_name), nullptr, nullptr, nullptr};
}

// ASL finds keywords by binary search on the lower-case name: keep the table sorted.
keyword* keyword_table(int& count) {
  static keyword table[] = {
      parameter_entry("maxit", "MaxIterations", "same as maxiterations"),
      parameter_entry("maxiterations", "MaxIterations"),
      parameter_entry("maxlinesearches", "MaxLineSearches"),
      {text("objno"), integer_keyword, const_cast<IntegerKeyword*>(&kObjno),
       text("objective to use: 1 = first (default), 0 = none (find a feasible point)")},
      parameter_entry("opttol", "OptTol"),
      {text("outlev"), integer_keyword, const_cast<IntegerKeyword*>(&kOutlev),
       text("0 = quiet (default), 1 = summary of model and solve, 2 = also the engine's listing")},
      parameter_entry("printfreq", "PrintFreq"),
      parameter_entry("printlevel", "PrintLevel"),
      parameter_entry("qpmode", "QPMode"),
      parameter_entry("stepsize", "StepSize"),
      {text("timing"), integer_keyword, const_cast<IntegerKeyword*>(&kTiming),
       text("0 = no timings (default), 1 = times on standard output, 2 = on standard error")},
      {text("version"), Ver_val, nullptr, text("report the version")},
      {text("wantsol"), WS_val, nullptr, WS_desc_ASL},
  };
  count = static_cast<int>(sizeof(table) / sizeof(table[0]));
  return table;
}

}  // namespace

std::string text_parameter_value(const char* options, const std::string& text) {
  std::string wanted;
  for (char ch : text)
    wanted += ch == '_' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const char* start = options; *start != '\0';) {
    const char* stop = std::strchr(start, ';');
    if (stop == nullptr) break;
    std::string option(start, stop);
    std::string lower;
    for (char ch : option) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (!wanted.empty() && lower == wanted) return option;
    start = stop + 1;
  }
  return "";
}

const char* solver_banner() {
  return "TALVIR " TALVIR_VERSION;
}

Option_Info* option_info(AmplOptions& options) {
  static Option_Info info;
  int count = 0;
  keyword* table = keyword_table(count);
  info = Option_Info{};
  info.sname = text("talvir");
  info.bsname = text(solver_banner());
  info.opname = text("talvir_options");
  info.keywds = table;
  info.n_keywds = count;
  info.version = text(solver_banner());
  info.driver_date = 20261207;
  info.uinfo = reinterpret_cast<char*>(&options);
  return &info;
}

}  // namespace talvir::ampl
