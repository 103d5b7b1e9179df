// One solve of a bundled problem through the plug-in, driven exactly as the Solve protocol says:
// a start call (mode 0), then continuing calls (mode 1), evaluating after each what the request code
// asks at the point the solver last passed to the problem, until the result is 0 or -8.
//
// run_solve(factory, problem, settings)
//   factory   the module's NLPSystemFactory (not released here)
//   problem   the test problem (in)
//   settings  parameter assignments "Name" -> "Value" applied before the start call, in order, and
//             whether the sink echoes the listing to standard output
// Returns a SolveOutcome. `error` is non-empty when the solve could not be run at all (a parameter
// name or value refused, no solver created, a request code the host does not know, a runaway
// exchange); the other fields then describe as much as was done.
//
// apply_parameter(list, name, value) sets one parameter from its text form, learning its name (any
// letter case), type, range and options from `list` itself (GetParameterCount, GetParameterNames,
// GetParameterInfo); numbers must be plain decimal. Returns an empty string on success, else a message
// naming the parameter and the accepted values (or listing the module's parameters for an unknown name).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/problems/problem.h"
#include "plugin/interfaces.h"

namespace talvir::host {

struct SolveSettings {
  std::vector<std::pair<std::string, std::string>> parameters;
  bool echo_listing = false;
};

struct SolveOutcome {
  std::string error;
  bool bad_parameter = false;  // the error is a refused parameter name or value (a usage error)
  std::int32_t result = 0;     // last Solve result: 0 ended, -8 engine failure
  bool converged = false;      // result 0 with the multipliers handed over
  std::string message;         // the solver's outcome message ("" for a converged solve)
  std::string sink_text;       // everything the solver wrote to the sink
  double objective = 0.0;      // at the final point
  double violation = 0.0;      // largest constraint or bound violation at the final point
  std::vector<double> x;
  std::vector<double> multipliers;
  long function_evaluations = 0;
  long derivative_evaluations = 0;
  long solve_calls = 0;
  std::int32_t counter = 0;  // the solver's engine-call counter
  double convergence_ratio = 0.0;
  double seconds = 0.0;
  int problem_references = 0;  // references the solver still held on the problem after its release
};

SolveOutcome run_solve(vek::NLPSystemFactory* factory, const problems::TestProblem& problem,
                       const SolveSettings& settings);

std::string apply_parameter(vek::ParameterList* list, const std::string& name, const std::string& value);

// Largest violation of the constraints (by kind) and bounds of `problem` at x.
double violation_at(const problems::TestProblem& problem, const double* x);

}  // namespace talvir::host
