// Shared helpers of the AMPL driver's tests. Contract in ampl/nl_fixtures.h.
#include "ampl/nl_fixtures.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace ampl_test {
namespace {

// A small recursive JSON reader that keeps only the numbers, under their key paths.
struct JsonReader {
  const std::string& s;
  size_t p = 0;
  FlatJson& out;

  void blanks() {
    while (p < s.size() && std::isspace(static_cast<unsigned char>(s[p]))) ++p;
  }
  bool string(std::string& text) {
    if (s[p] != '"') return false;
    for (++p; p < s.size() && s[p] != '"'; ++p) {
      if (s[p] == '\\') ++p;
      text += s[p];
    }
    ++p;
    return true;
  }
  bool number(const std::string& path) {
    const size_t start = p;
    while (p < s.size() &&
           (std::isalnum(static_cast<unsigned char>(s[p])) || s[p] == '-' || s[p] == '+' || s[p] == '.'))
      ++p;
    const std::string token = s.substr(start, p - start);
    const double inf = std::numeric_limits<double>::infinity();
    if (token == "Infinity")
      out[path] = inf;
    else if (token == "-Infinity")
      out[path] = -inf;
    else if (token == "true" || token == "false" || token == "null")
      return true;
    else
      out[path] = std::strtod(token.c_str(), nullptr);
    return p > start;
  }
  bool value(const std::string& path) {
    blanks();
    if (p >= s.size()) return false;
    if (s[p] == '{') return members(path, true);
    if (s[p] == '[') return members(path, false);
    if (s[p] == '"') {
      std::string ignored;
      return string(ignored);
    }
    return number(path);
  }
  bool members(const std::string& path, bool object) {
    const char close = object ? '}' : ']';
    ++p;
    for (int index = 0;; ++index) {
      blanks();
      if (s[p] == close) {
        ++p;
        return true;
      }
      std::string key = std::to_string(index);
      if (object) {
        key.clear();
        if (!string(key)) return false;
        blanks();
        if (s[p++] != ':') return false;
      }
      if (!value(path.empty() ? key : path + "/" + key)) return false;
      blanks();
      if (s[p] == ',') ++p;
    }
  }
};

}  // namespace

std::string fixture_path(const std::string& file) {
  return std::string(TALVIR_TEST_DATA_DIR) + "/nl/" + file;
}
std::string made_path(const std::string& file) {
  return std::string(TALVIR_TEST_DATA_DIR) + "/nl/made/" + file;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<Fixture> fixtures() {
  std::vector<Fixture> out;
  std::istringstream csv(read_file(fixture_path("index.csv")));
  std::string line;
  std::getline(csv, line);  // header
  while (std::getline(csv, line)) {
    std::vector<std::string> field;
    std::stringstream parts(line);
    for (std::string item; std::getline(parts, item, ',');) field.push_back(item);
    if (field.size() < 7) continue;
    Fixture f{field[0],
              field[1],
              std::stoi(field[2]),
              std::stoi(field[3]),
              std::stoi(field[4]),
              std::stoi(field[5]),
              std::strtod(field[6].c_str(), nullptr),
              field.size() > 7 ? field[7] : ""};
    out.push_back(f);
  }
  return out;
}

bool parse_flat_json(const std::string& text, FlatJson& out) {
  JsonReader reader{text, 0, out};
  return reader.value("");
}

bool gjh_available() {
  return std::system("command -v gjh_asl_json >/dev/null 2>&1") == 0;
}

bool gjh_evaluate(const std::string& nl, FlatJson& out) {
  const std::string json = temp_dir() + "/gjh.json";
  const std::string command =
      "gjh_asl_json '" + nl + "' json='" + json + "' assumed_primal=0 >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  return parse_flat_json(read_file(json), out);
}

bool read_sol_text(const std::string& path, int n, int m, SolFile& out) {
  std::istringstream in(read_file(path));
  std::string line, previous = "x";
  while (std::getline(in, line) && !(line == "Options" && previous.empty())) {
    out.message += previous == "x" ? "" : previous + "\n";
    previous = line;
  }
  if (line != "Options") return false;
  int count = 0;
  in >> count;
  std::vector<int> options(count);
  for (int& o : options) in >> o;
  if (count >= 3 && options[2] == 3) {
    double vbtol = 0;
    in >> vbtol;
  }
  int n_con = 0, n_y = 0, n_var = 0, n_x = 0;
  in >> n_con >> n_y >> n_var >> n_x;
  if (n_con != m || n_var != n) return false;
  out.y.resize(n_y);
  out.x.resize(n_x);
  for (double& v : out.y) in >> v;
  for (double& v : out.x) in >> v;
  std::string word;
  in >> word >> out.objno >> out.result_code;
  return word == "objno" && !in.fail();
}

namespace {

// The folders made by temp_dir, removed with everything in them when the test program ends.
struct TempFolders {
  std::vector<std::string> paths;
  ~TempFolders() {
    std::error_code ignored;
    for (const std::string& p : paths) std::filesystem::remove_all(p, ignored);
  }
};

}  // namespace

std::string temp_dir() {
  static TempFolders made;
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/talvir_ampl_XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) return "/tmp";
  made.paths.push_back(name.data());
  return name.data();
}

}  // namespace ampl_test
