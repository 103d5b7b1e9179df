// Shared helpers of the AMPL driver's tests: the .nl fixtures (tests/data/nl/index.csv), the
// gjh_asl_json oracle (Debian gjh-asl-json: evaluates an .nl file at its start point and writes JSON),
// and a reader of the .sol text format.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ampl_test {

struct Fixture {
  std::string file;     // e.g. "hs071.ampl.nl"
  std::string problem;  // e.g. "hs071"
  int n = 0, m = 0, me = 0, ranges = 0;
  double f_at_start = 0.0;
  std::string fstar;  // published optimum as written; "" when none
};

std::vector<Fixture> fixtures();
std::string fixture_path(const std::string& file);  // tests/data/nl/<file>
std::string made_path(const std::string& file);     // tests/data/nl/made/<file>

// A flat view of a JSON document: every number under its path of keys joined by "/" (array elements
// by their index), e.g. "initial evaluations/constraints/0". Infinity and -Infinity are read too.
using FlatJson = std::map<std::string, double>;
bool parse_flat_json(const std::string& text, FlatJson& out);

// Runs gjh_asl_json on `nl` (missing start components taken as 0) and parses its output; false when
// the program is not installed or fails.
bool gjh_evaluate(const std::string& nl, FlatJson& out);
bool gjh_available();

// A .sol file in AMPL's text format: the message, the primal values and duals, result_code
// (from the "objno" line).
struct SolFile {
  std::string message;
  std::vector<double> x, y;
  int objno = -1;
  int result_code = -1;  // solve_result_num
};
bool read_sol_text(const std::string& path, int n, int m, SolFile& out);

std::string temp_dir();  // a fresh directory, removed when the test program ends
std::string read_file(const std::string& path);

}  // namespace ampl_test
