// The comparison benchmark's view of a solver: one adapter per solver, each solving a bundled problem
// from its standard starting point and counting its own work.
//
// SolverAdapter::solve(problem, limits) runs one whole solve from problem.start() and returns a
// SolveReport: the final point, whether the solver itself reported success, the number of points at
// which the functions were evaluated (`evaluations`) and the iterations as the solver counts them
// (see each adapter). It must be callable again and again (the timing repeats it) and must not print.
// The wall time is measured around solve() by the caller, so everything a user of the solver would do
// for one solve (creating the solver object, setting options, freeing) belongs inside it.
//
// To add a solver: implement the interface in a file of its own and add a make_..._adapter() to the
// list in compare_main.cpp (behind a definition set by CMake when its dependency is optional).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/problems/problem.h"

namespace talvir::bench {

// What every solver is asked for; each adapter maps it onto its own options (stated in its file).
struct SolveLimits {
  double tolerance = 1.0e-6;  // the optimality tolerance
  int max_iterations = 3000;  // iteration (or evaluation) limit
};

struct SolveReport {
  bool reported_success = false;
  std::vector<double> x;
  long evaluations = 0;
  long iterations = 0;
};

class SolverAdapter {
 public:
  virtual ~SolverAdapter() = default;
  virtual std::string name() const = 0;
  virtual SolveReport solve(const problems::TestProblem& problem, const SolveLimits& limits) = 0;
};

// The TALVIR plug-in module, loaded by path as a host loads it; nullptr (with `error` set) when the
// module cannot be loaded.
std::unique_ptr<SolverAdapter> make_plugin_adapter(const std::string& module_path, std::string* error);
// The native C API (libtalvir), when the build made it.
std::unique_ptr<SolverAdapter> make_api_adapter(const char* strategy = "Robust");
// NLopt's SLSQP and Ipopt (with a limited-memory Hessian), when the build found them.
std::unique_ptr<SolverAdapter> make_nlopt_adapter();
std::unique_ptr<SolverAdapter> make_ipopt_adapter();

// The benchmark's own dense scalable family "dense_qp" (see dense_family.cpp); nullptr for n < 2.
std::unique_ptr<problems::TestProblem> make_dense_qp(int n);

// Helpers shared by the adapters: bounds with +-infinity for the collection's unbounded sides, and
// the Jacobian structure (the problem's own, else every pair, row by row).
void bounds_with_infinities(const problems::TestProblem& problem, std::vector<double>& xl,
                            std::vector<double>& xu);
void jacobian_pairs(const problems::TestProblem& problem, std::vector<int>& rows, std::vector<int>& cols);

}  // namespace talvir::bench
