// The reference host's native-API commands. Contract in host/native_run.h.
#include "host/native_run.h"

#include <cstdio>
#include <memory>

#include "host/native_solver.h"
#include "talvir/talvir.h"

namespace talvir::host {
namespace {

// The four callbacks over evaluate_problem, for the derivative checker.
int objective(int, const double* x, double* f, void* u) {
  *f = static_cast<const problems::TestProblem*>(u)->objective(x);
  return TALVIR_CALLBACK_OK;
}
int constraints(int, int, const double* x, double* c, void* u) {
  static_cast<const problems::TestProblem*>(u)->constraints(x, c);
  return TALVIR_CALLBACK_OK;
}
int gradient(int, const double* x, double* g, void* u) {
  static_cast<const problems::TestProblem*>(u)->gradient(x, g);
  return TALVIR_CALLBACK_OK;
}
int jacobian(int, int, int, const double* x, double* values, void* u) {
  static_cast<const problems::TestProblem*>(u)->jacobian(x, values);  // the dense structure, row by row
  return TALVIR_CALLBACK_OK;
}

void print_line(const char* text, void*) {
  std::fputs(text, stdout);
}

void print_entry(int row, int column, double given, double estimated, double error, void*) {
  std::printf("  %s %d, variable %d: given % .6e, estimated % .6e, error %.2e\n",
              row < 0 ? "gradient" : "constraint", row < 0 ? 0 : row, column, given, estimated, error);
}

}  // namespace

int solve_natively(const problems::TestProblem& p, bool log, double time_limit,
                   const std::vector<std::pair<std::string, std::string>>& parameters) {
  NativeSolver s = native_solver(p);
  if (!s) return 2;
  talvir_set_listing(s.get(), print_line, nullptr);
  talvir_set_integer_parameter(s.get(), "Log", log ? 1 : 0);
  talvir_set_real_parameter(s.get(), "TimeLimit", time_limit);
  for (const auto& [name, value] : parameters) {
    if (talvir_set_parameter(s.get(), name.c_str(), value.c_str()) != TALVIR_OK) {
      const char* why = "";
      talvir_get_error_message(s.get(), &why);
      std::fprintf(stderr, "talvir: %s\n", why);
      return 2;
    }
  }
  talvir_callbacks cb{sizeof cb,
                      nullptr,
                      nullptr,
                      nullptr,
                      nullptr,
                      evaluate_problem,
                      const_cast<problems::TestProblem*>(&p)};
  talvir_solve_with(s.get(), &cb);
  int ending = 0;
  talvir_get_ending(s.get(), &ending);
  if (!log) {  // the log ends with the same summary
    const char* message = "";
    double f = 0, violation = 0;
    talvir_get_ending_message(s.get(), &message);
    talvir_get_objective(s.get(), &f);
    talvir_get_max_violation(s.get(), &violation);
    std::printf("ending:       %d, %s\nobjective:    % .10e\nviolation:    %.4e\n", ending, message, f,
                violation);
  }
  return ending == TALVIR_ENDING_CONVERGED ? 0 : 1;
}

int check_derivatives(const std::vector<std::string>& names) {
  const std::vector<std::string> all = names.empty() ? problems::problem_names() : names;
  int failed = 0;
  for (const std::string& name : all) {
    const auto p = problems::make_problem(name);
    if (p == nullptr) {
      std::fprintf(stderr, "talvir: unknown problem '%s' (see 'talvir list')\n", name.c_str());
      return 2;
    }
    NativeSolver s = native_solver(*p);
    std::vector<double> x0(p->n());
    p->start(x0.data());
    int bad = -1;
    if (s) {
      talvir_check_derivatives(s.get(), objective, constraints, gradient, jacobian, p.get(), x0.data(), 1e-4,
                               print_entry, nullptr, &bad);
    }
    std::printf("%-10s %s\n", name.c_str(),
                bad == 0 ? "derivatives agree with central differences" : "FAILED");
    failed += bad != 0;
  }
  std::printf("%zu problems, %d failed\n", all.size(), failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace talvir::host
