// Test support: one bundled problem solved through the C API's reverse communication, with everything
// the solve asked for recorded in the plug-in's request codes, for comparison with other runs.
#pragma once

#include <string>
#include <vector>

#include "host/problems/problem.h"
#include "plugin/interfaces.h"

namespace talvir_test {

struct Trace {
  std::vector<std::vector<double>> points;  // the point of every request
  std::vector<int> requests;                // 111, 7, 105
  std::vector<double> x, multipliers;       // multipliers only when converged
  std::string message;                      // the plug-in's outcome message ("" when converged)
  std::string listing;
  bool converged = false;
  int values = 0, derivatives = 0;  // the evaluations the API counted
};

// Solves `problem` from its standard start (its sparse Jacobian structure when it has one), with
// "PrintLevel" "Normal" and the listing collected when `listing` is true, in the given "Strategy".
Trace through_api(const talvir::problems::TestProblem& problem, bool listing,
                  const char* strategy = "Faithful");

// The same through the plug-in made by `factory`, driven as a host drives it (a start call, then mode 1);
// the listing is what the sink received after CreateSolver, without the outcome message. The parameters
// are those of the plug-in's shared table.
Trace through_plugin(vek::NLPSystemFactory* factory, const talvir::problems::TestProblem& problem);

}  // namespace talvir_test
