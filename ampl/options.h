// The AMPL driver's options: the command line `talvir stub[.nl] [-AMPL] [key=value ...]` and the
// environment variable talvir_options, read by ASL's getstub/getopts with this keyword table.
//
// Keywords (letter case ignored; "key=value" or "key value"):
//   the seven solver parameters by name: maxiterations, maxlinesearches, opttol, printfreq,
//   printlevel, qpmode, stepsize (checked against the parameter table: type and bounds; printlevel
//   takes "Errors Only" (quoted, or errors_only) or "Normal")
//   maxit     same as maxiterations (the usual AMPL keyword)
//   outlev    0 (default) quiet; 1 a summary of the model and the solve; 2 also the engine's listing
//   objno     objective to use: 1 .. number of objectives (default 1), 0 none (feasibility)
//   timing    0 (default) none; 1 the times of reading, evaluating, solving and writing on standard
//             output; 2 the same on standard error
//   wantsol   ASL's usual: 1 write stub.sol without -AMPL, 2 print the primal values, 4 the duals,
//             8 leave out the solution message
//   version   print the version
// Command-line flags before the stub are ASL's: -AMPL (write stub.sol), -v (version), -= (list the
// keywords above), -? (usage), -e (do not echo keywords).
//
// AmplOptions holds what was asked; parameters keeps the solver parameter settings in the order
// given, each as (table name, value text) already checked. A bad keyword or value is reported by ASL
// (message on standard error) and counted in bad_options.
//
// option_info(options) gives the ASL Option_Info record for this run, wired to `options`; the
// record and keyword table live as long as the process (ASL keeps pointers to them).
#pragma once

#include <string>
#include <utility>
#include <vector>

typedef struct Option_Info Option_Info;

namespace talvir::ampl {

struct AmplOptions {
  std::vector<std::pair<std::string, std::string>> parameters;
  int outlev = 0;
  int objno = 1;
  bool objno_given = false;
  int timing = 0;
  int bad_options = 0;
};

Option_Info* option_info(AmplOptions& options);

// "TALVIR x.y.z", the name and version that begin every solution message.
const char* solver_banner();

// The value of a text parameter in its table form ("Errors Only"), or "" when `text` is none of the
// parameter's options; letter case and '_' for ' ' are accepted.
std::string text_parameter_value(const char* options, const std::string& text);

}  // namespace talvir::ampl
