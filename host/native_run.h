// The reference host's commands on the native C API (libtalvir) rather than the module: a bundled
// problem solved with the one-line log or a time limit (talvir solve NAME --log, --time-limit S), and
// the derivative check of bundled problems (talvir check-derivatives [NAME ...]).
//
// solve_natively(p, log, time_limit, parameters)  solves p from its start through the C API, the log
//                                                 (with --log) on standard output, then the ending,
//                                                 f, violation, iterations and evaluations; the exit
//                                                 status 0 when converged, 1 otherwise, 2 for a refused
//                                                 parameter
// check_derivatives(names)                        checks each named problem (all when none) at its
//                                                 start point with tolerance 1e-4, one line each and
//                                                 every entry beyond it; 0 when all pass, 1 otherwise
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/problems/problem.h"

namespace talvir::host {

int solve_natively(const problems::TestProblem& p, bool log, double time_limit,
                   const std::vector<std::pair<std::string, std::string>>& parameters);
int check_derivatives(const std::vector<std::string>& names);

}  // namespace talvir::host
