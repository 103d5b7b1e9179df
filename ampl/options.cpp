// The AMPL driver's keyword table and its keyword functions. Contract in ampl/options.h.
#include "ampl/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "talvir/talvir.h"

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

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

// A solver parameter as the native API describes it, with its keyword (the name in lower case) and
// the description -= shows.
struct SolverParameter {
  std::string name, keyword, description, options, default_text;
  int type = TALVIR_PARAMETER_REAL;
  double minimum = 0.0, maximum = 0.0, default_number = 0.0;
};

std::string lower(const std::string& text) {
  std::string out;
  for (char ch : text) out += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

std::string describe(const SolverParameter& p) {
  char range[200];
  if (p.type == TALVIR_PARAMETER_TEXT) {
    std::snprintf(range, sizeof(range), "one of \"%s\" (';'-separated; '_' for a blank); default \"%s\"",
                  p.options.c_str(), p.default_text.c_str());
  } else {
    std::snprintf(range, sizeof(range), "%s %g .. %g; default %g",
                  p.type == TALVIR_PARAMETER_INTEGER ? "integer" : "real", p.minimum, p.maximum,
                  p.default_number);
  }
  return p.name + ": " + p.description + " (" + range + ")";
}

// The solver's parameters, read once from the native API's definitions.
const std::vector<SolverParameter>& solver_parameters() {
  static const std::vector<SolverParameter> list = [] {
    std::vector<SolverParameter> out;
    int count = 0;
    talvir_parameter_count(&count);
    for (int k = 0; k < count; ++k) {
      const char *name = nullptr, *description = nullptr, *default_text = nullptr, *options = nullptr;
      SolverParameter p;
      if (talvir_parameter_info(k, &name, &description, &p.type, &p.minimum, &p.maximum, &p.default_number,
                                &default_text, &options) != TALVIR_OK)
        continue;
      p.name = name ? name : "";
      p.keyword = lower(p.name);
      p.description = description ? description : "";
      p.options = options ? options : "";
      p.default_text = default_text ? default_text : "";
      p.description = describe(p);
      out.push_back(p);
    }
    return out;
  }();
  return list;
}

// The value text of a solver parameter, or "" when `token` is not an acceptable value.
std::string parameter_value(const SolverParameter& p, const std::string& token) {
  if (p.type == TALVIR_PARAMETER_TEXT) return text_parameter_value(p.options.c_str(), token);
  double number = 0.0;
  if (!parse_number(token, number) || number < p.minimum || number > p.maximum) return "";
  if (p.type == TALVIR_PARAMETER_INTEGER && !is_whole(number)) return "";
  return token;
}

// What a keyword takes, for its refusal: "an integer from 1 to 99999", "a number from 0 to 1e+10",
// "one of Errors Only, Normal (a '_' for a blank)".
std::string allowed_values(int type, double minimum, double maximum, const std::string& options) {
  char text[200];
  if (type == TALVIR_PARAMETER_TEXT) {
    std::string list;
    for (char ch : options) list += ch == ';' ? std::string(", ") : std::string(1, ch);
    while (!list.empty() && (list.back() == ' ' || list.back() == ',')) list.pop_back();
    return "one of " + list + " ('_' for a blank)";
  }
  std::snprintf(text, sizeof(text), "%s from %.10g to %.10g",
                type == TALVIR_PARAMETER_INTEGER ? "an integer" : "a number", minimum, maximum);
  return text;
}

// Refuses a keyword's value with a message naming the keyword, the value given and what it takes, and
// counts it as a bad option.
char* refuse_value(Option_Info* oi, const keyword* kw, const std::string& token, const std::string& allowed,
                   char* end) {
  std::fprintf(stderr, "%s: bad value \"%s\" for %s: it takes %s\n", oi->sname, token.c_str(), kw->name,
               allowed.c_str());
  ++oi->n_badopts;
  return end;
}

char* parameter_keyword(Option_Info* oi, keyword* kw, char* value) {
  const auto& p = *static_cast<const SolverParameter*>(kw->info);
  std::string token;
  char* end = value_end(value, token);
  const std::string checked = parameter_value(p, token);
  if (checked.empty()) {
    return refuse_value(oi, kw, token, allowed_values(p.type, p.minimum, p.maximum, p.options), end);
  }
  options_of(oi).parameters.emplace_back(p.name, checked);
  return end;
}

char* integer_keyword(Option_Info* oi, keyword* kw, char* value) {
  const auto& limits = *static_cast<const IntegerKeyword*>(kw->info);
  std::string token;
  char* end = value_end(value, token);
  double number = 0.0;
  if (!parse_number(token, number) || !is_whole(number) || number < limits.minimum ||
      number > limits.maximum) {
    return refuse_value(oi, kw, token,
                        allowed_values(TALVIR_PARAMETER_INTEGER, limits.minimum, limits.maximum, ""), end);
  }
  AmplOptions& options = options_of(oi);
  options.*limits.field = static_cast<int>(number);
  if (limits.field == &AmplOptions::objno) options.objno_given = true;
  return end;
}

char* text(const char* literal) {
  return const_cast<char*>(literal);  // ASL never writes through it
}

// The keyword table: every solver parameter under its lower-case name, maxit for MaxIterations, and
// the driver's own keywords, sorted by name (ASL finds keywords by binary search on the lower-case
// name). Made once; ASL keeps pointers into it.
std::vector<keyword>& keyword_table() {
  static std::vector<keyword> table = [] {
    std::vector<keyword> out;
    for (const SolverParameter& p : solver_parameters()) {
      auto* info = const_cast<SolverParameter*>(&p);
      out.push_back({text(p.keyword.c_str()), parameter_keyword, info, text(p.description.c_str())});
      if (p.keyword == "maxiterations")
        out.push_back({text("maxit"), parameter_keyword, info, text("same as maxiterations")});
      if (p.keyword == "maxevaluations")
        out.push_back({text("maxfev"), parameter_keyword, info, text("same as maxevaluations")});
      if (p.keyword == "timelimit")
        out.push_back({text("timelim"), parameter_keyword, info, text("same as timelimit")});
    }
    out.push_back({text("objno"), integer_keyword, const_cast<IntegerKeyword*>(&kObjno),
                   text("objective to use: 1 = first (default), 0 = none (find a feasible point)")});
    out.push_back(
        {text("outlev"), integer_keyword, const_cast<IntegerKeyword*>(&kOutlev),
         text("0 = quiet (default), 1 = summary of the model and a log line per iteration, 2 = the engine's "
              "listing instead of the log")});
    out.push_back({text("timing"), integer_keyword, const_cast<IntegerKeyword*>(&kTiming),
                   text("0 = no timings (default), 1 = times on standard output, 2 = on standard error")});
    out.push_back({text("version"), Ver_val, nullptr, text("report the version")});
    out.push_back({text("wantsol"), WS_val, nullptr, WS_desc_ASL});
    std::sort(out.begin(), out.end(),
              [](const keyword& a, const keyword& b) { return std::strcmp(a.name, b.name) < 0; });
    return out;
  }();
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
  static const std::string banner = [] {
    int major = 0, minor = 0, patch = 0;
    talvir_version(&major, &minor, &patch);
    return "TALVIR " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
  }();
  return banner.c_str();
}

Option_Info* option_info(AmplOptions& options) {
  static Option_Info info;
  std::vector<keyword>& table = keyword_table();
  info = Option_Info{};
  info.sname = text("talvir");
  info.bsname = text(solver_banner());
  info.opname = text("talvir_options");
  info.keywds = table.data();
  info.n_keywds = static_cast<int>(table.size());
  info.version = text(solver_banner());
  info.driver_date = 20261207;
  info.uinfo = reinterpret_cast<char*>(&options);
  return &info;
}

}  // namespace talvir::ampl
