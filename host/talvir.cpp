// talvir: the reference host program. Loads the TALVIR solver module by path (dlopen), presents the
// bundled test problems to it as host problem objects, and solves them through the Solve protocol.
//
//   talvir                      solve the bundled example hs071 and print the result
//   talvir solve NAME [opts]    solve one problem and print outcome, objective, point, multipliers,
//                               evaluation counts and time
//   talvir list                 the bundled problems
//   talvir check [opts]         solve the whole collection at a tight and at the default tolerance and
//                               judge each against its known optimum
//   talvir --help               usage, options and the solver parameters, as the loaded module
//                               describes them through ParameterList (like any host, talvir knows the
//                               solver only through its interfaces)
//   talvir stub[.nl] -AMPL ...  the AMPL solver (when built with the AMPL Solver Library): see
//                               ampl/ampl_run.h and docs/ampl.md
// Exit status: 0 converged (check: every problem judged solved at the tight tolerance), 1 not
// converged / not all solved, 2 bad command line (unknown command, problem, option or parameter
// value; numbers must be plain decimal) or a problem too large for the memory (the message says how
// much it needs), 3 the module could not be loaded (missing, damaged or truncated) or used.
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef TALVIR_WITH_AMPL
#include "ampl/ampl_run.h"
#endif
#include "host/module.h"
#include "host/module_parameters.h"
#include "host/problems/problem.h"
#include "host/solve_run.h"
#ifdef TALVIR_WITH_API
#include "host/native_run.h"
#endif
#include "io/available_memory.h"
#include "io/decimal_text.h"

namespace talvir::host {
namespace {

constexpr int kExitConverged = 0;
constexpr int kExitNotConverged = 1;
constexpr int kExitUsage = 2;
constexpr int kExitModule = 3;
constexpr const char* kDefaultExample = "hs071";
constexpr const char* kTightTolerance = "1e-12";
constexpr const char* kDefaultTolerance = "1e-6";
constexpr double kViolationLimit = 1e-6;
#ifdef TALVIR_WITH_AMPL
constexpr const char* kAmplUsage =
    "  talvir stub[.nl] -AMPL [key=value ...]\n"
    "                                  the AMPL solver: read stub.nl, write stub.sol (talvir -= lists\n"
    "                                  the keywords; see docs/ampl.md)\n";
#else
constexpr const char* kAmplUsage = "";
#endif

struct CommandLine {
  std::string command;
  bool help = false;
  std::vector<std::string> names;
  int size = 0;  // --n; 0 when not given
  bool listing = false;
  bool log = false;         // --log: solve through the native API with the one-line log
  double time_limit = 0.0;  // --time-limit: the same with a time limit
  std::string module;       // --module; empty when not given
  std::vector<std::pair<std::string, std::string>> parameters;
};

int usage_error(const std::string& message) {
  std::fprintf(stderr, "talvir: %s\nTry 'talvir --help'.\n", message.c_str());
  return kExitUsage;
}

void print_usage(const std::string& module_path) {
  std::printf(
      "talvir - solve nonlinear programs with the TALVIR SQP solver module, loaded as a plug-in.\n"
      "\n"
      "Usage:\n"
      "  talvir                          solve the bundled example problem %s\n"
      "  talvir solve NAME [options]     solve one bundled problem (see 'talvir list')\n"
      "  talvir list                     list the bundled problems\n"
      "  talvir check [options]          solve every bundled problem at OptTol %s and at the default\n"
      "                                  %s, and compare with the known optimum\n"
      "  talvir check-derivatives [NAME ...]\n"
      "                                  compare the derivatives of bundled problems (all when none\n"
      "                                  is named) with central differences at their start points\n"
      "  talvir --help [--module PATH]   this text, with the parameters of the module\n"
      "%s"
      "\n"
      "Options:\n"
      "  --n N               number of variables of the scalable problems (chain, qp; N >= 2)\n"
      "  --set Param=Value   set a solver parameter (repeatable; names ignore letter case; numbers in\n"
      "                      decimal, e.g. 100, 0.5, 1e-8)\n"
      "  --listing           print the solver's listing (sets PrintLevel=Normal unless --set says "
      "otherwise)\n"
      "  --module PATH       the solver module to load (default: %s)\n"
      "  --log               solve through the native API (libtalvir), one line per iteration and a\n"
      "                      summary (the native parameters, e.g. Strategy, may be --set)\n"
      "  --time-limit S      solve through the native API with a limit of S seconds of wall time\n"
      "\n",
      kDefaultExample, kTightTolerance, kDefaultTolerance, kAmplUsage, module_path.c_str());
}

// The parameters as the loaded module describes them through its ParameterList.
void print_parameters(const std::vector<ModuleParameter>& params, const std::string& module_path) {
  std::printf("Solver parameters (as the module %s describes them):\n", module_path.c_str());
  for (const ModuleParameter& p : params) {
    char range[160];
    if (p.type == vek::kIntegerParameter) {
      std::snprintf(range, sizeof(range), "integer %.0f..%.0f, default %.0f", p.minimum, p.maximum, p.number);
    } else if (p.type == vek::kRealParameter) {
      std::snprintf(range, sizeof(range), "real %g..%g, default %g", p.minimum, p.maximum, p.number);
    } else {
      std::snprintf(range, sizeof(range), "text, one of \"%s\", default \"%s\"", p.options.c_str(),
                    p.text.c_str());
    }
    std::printf("  %-16s %s\n  %-16s (%s)\n", p.name.c_str(), p.description.c_str(), "", range);
  }
}

void print_closing_help() {
  std::printf(
      "\n"
      "A solve ends 'converged' when the predicted change of the objective, |g'd| + sum |lambda_j c_j|,\n"
      "is at most OptTol max(1, |f|) and every constraint c_j holds within min(max(OptTol, 1e-10), 1e-6)\n"
      "+ 1e-12 sum_i |dc_j/dx_i x_i|, in its own units. 'check' judges at a tight OptTol:\n"
      "|f - f*| <= 1e-6 max(1, |f*|) (plus half a unit in the last published digit) and a violation of\n"
      "at most 1e-6.\n"
      "\n"
      "Exit status: 0 converged (check: all solved), 1 not converged (check: not all solved),\n"
      "2 bad command line or parameter, or a problem too large for the memory,\n"
      "3 the solver module could not be loaded.\n"
      "\n"
      "Examples:\n"
      "  talvir solve hs071 --set OptTol=1e-10\n"
      "  talvir solve chain --n 50 --set MaxIterations=1000\n"
      "  talvir solve hs035 --listing --set PrintFreq=2\n"
      "  talvir check --n 20\n");
}

// Parses argv into `cl`; returns an empty string or the usage error.
std::string parse(int argc, char** argv, CommandLine& cl) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& a = args[k];
    const bool has_next = k + 1 < args.size();
    if (a == "--help" || a == "-h" || a == "help") {
      cl.help = true;
      continue;
    }
    if (a == "--listing") {
      cl.listing = true;
    } else if (a == "--log") {
      cl.log = true;
    } else if (a == "--time-limit") {
      if (!has_next || !vek::io::parse_decimal_real(args[k + 1].c_str(), &cl.time_limit) || cl.time_limit < 0)
        return "--time-limit takes a number of seconds, 0 or more, in decimal";
      ++k;
    } else if (a == "--n" || a == "--module" || a == "--set") {
      if (!has_next) return "option " + a + " needs a value";
      const std::string v = args[++k];
      if (a == "--module") {
        if (v.empty()) return "--module takes the path of a module file, not an empty text";
        cl.module = v;
      } else if (a == "--n") {
        long long n = 0;
        if (!parse_decimal_integer(v, &n) || n < 2 || n > 100000)
          return "--n takes an integer from 2 to 100000 in decimal digits, not '" + v + "'";
        cl.size = static_cast<int>(n);
      } else {
        const size_t eq = v.find('=');
        if (eq == std::string::npos || eq == 0) return "--set takes Param=Value, not '" + v + "'";
        cl.parameters.emplace_back(v.substr(0, eq), v.substr(eq + 1));
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return "unknown option '" + a + "'";
    } else if (cl.command.empty()) {
      cl.command = a;
    } else {
      cl.names.push_back(a);
    }
  }
  return "";
}

// The settings the command line asks for. With --listing, "PrintLevel" Normal comes first, so that a
// --set of it still decides.
SolveSettings settings_from(const CommandLine& cl) {
  SolveSettings settings;
  if (cl.listing) settings.parameters.emplace_back("PrintLevel", "Normal");
  settings.parameters.insert(settings.parameters.end(), cl.parameters.begin(), cl.parameters.end());
  settings.echo_listing = cl.listing;
  return settings;
}

void print_vector(const char* label, const std::vector<double>& v) {
  for (size_t i = 0; i < v.size(); ++i) std::printf("  %s[%zu] = % .12e\n", label, i + 1, v[i]);
}

bool judged_solved(const problems::TestProblem& p, const SolveOutcome& out) {
  return out.error.empty() && std::fabs(out.objective - p.known_optimum()) <= p.optimum_tolerance() &&
         out.violation <= kViolationLimit;
}

// Bytes one solve of `p` needs: the host's dense Jacobian and structure, and the solver's arrays as the
// module documents them (workspaces growing with n squared, dense constraint gradients, the block).
double solve_memory_bytes(const problems::TestProblem& p) {
  const double n = p.n(), m = p.m();
  double equalities = 0;
  for (int j = 0; j < p.m(); ++j) equalities += p.kind(j) == 0;
  const double k = n + 1 - equalities;
  const double host = m * n + 1 + m * n;  // dense Jacobian, plus a structure of at most m n pairs
  const double solver = n * (n + 9) / 2 + 4 * m + 1 + (3 * k + 7) * k / 2 + 4 * (n + 1) + 6 * m +
                        (m + 1) * (n + 2) + (m + 1) * n + 10 * n;
  return 8 * (host + solver);
}

// run_solve, with a shortage of memory reported (how much the solve needs) instead of an abort.
bool run_solve_reporting_memory(vek::NLPSystemFactory* factory, const problems::TestProblem& p,
                                const SolveSettings& settings, SolveOutcome* out) {
  const auto report = [&p] {
    const double available = static_cast<double>(vek::io::available_memory_bytes());
    std::fprintf(stderr,
                 "talvir: not enough memory to solve %s with n = %d, m = %d: it needs about %.1f GB "
                 "(the solver's workspaces grow with n squared)",
                 p.name().c_str(), p.n(), p.m(), solve_memory_bytes(p) / 1e9);
    if (available < 1e300)
      std::fprintf(stderr, "; this machine has about %.1f GB available", available / 1e9);
    std::fprintf(stderr, "\n");
    return false;
  };
  // Refused before anything is allocated: an overcommitting system would not fail the allocation.
  if (vek::io::exceeds_available_memory(solve_memory_bytes(p))) return report();
  try {
    *out = run_solve(factory, p, settings);
    return true;
  } catch (const std::bad_alloc&) {
    return report();
  } catch (const std::length_error&) {  // more elements than a vector may hold (32-bit systems)
    return report();
  }
}

int solve_one(vek::NLPSystemFactory* factory, const CommandLine& cl, const std::string& module_path) {
  const std::string name = cl.names.empty() ? kDefaultExample : cl.names[0];
  if (cl.names.size() > 1) return usage_error("solve takes one problem name");
  if (problems::make_problem(name) == nullptr) {
    return usage_error("unknown problem '" + name + "' (see 'talvir list')");
  }
  if (cl.size != 0 && !problems::is_scalable(name)) {
    return usage_error(name + " has a fixed size; --n applies to the scalable problems chain and qp");
  }
  const auto problem = problems::make_problem(name, cl.size);
  const SolveSettings settings = settings_from(cl);
  std::printf("talvir: solving %s (n = %d, m = %d): %s\n  module %s\n", name.c_str(), problem->n(),
              problem->m(), problem->description().c_str(), module_path.c_str());
  SolveOutcome out;
  if (!run_solve_reporting_memory(factory, *problem, settings, &out)) return kExitUsage;
  if (!out.error.empty()) {
    std::fprintf(stderr, "talvir: %s\n", out.error.c_str());
    return out.bad_parameter ? kExitUsage : kExitModule;
  }
  std::printf("result:        %d (%s)\n", out.result, out.converged ? "converged" : "not converged");
  if (!out.message.empty())
    std::printf("message:       %s%s", out.message.c_str(), out.message.back() == '\n' ? "" : "\n");
  std::printf("objective:     % .12e\n", out.objective);
  const double fstar = problem->known_optimum();
  if (!std::isnan(fstar)) {
    std::printf("known optimum: % .12e (difference %.2e, %s)\n", fstar, std::fabs(out.objective - fstar),
                judged_solved(*problem, out) ? "reached" : "not reached");
  }
  std::printf("violation:     %.2e\n", out.violation);
  std::printf("point:\n");
  print_vector("x", out.x);
  if (out.converged && !out.multipliers.empty()) {
    std::printf("multipliers (Lagrangian f - sum lambda_j c_j):\n");
    print_vector("lambda", out.multipliers);
  }
  std::printf("evaluations:   functions %ld, derivatives %ld\n", out.function_evaluations,
              out.derivative_evaluations);
  std::printf("solve calls:   %ld (engine calls %d)\n", out.solve_calls, out.counter);
  std::printf("CVRG:          %.6e\n", out.convergence_ratio);
  std::printf("time:          %.3f ms\n", out.seconds * 1e3);
  return out.converged ? kExitConverged : kExitNotConverged;
}

int list_problems() {
  std::printf("%-8s %5s %5s  %s\n", "name", "n", "m", "description");
  for (const std::string& name : problems::problem_names()) {
    const auto p = problems::make_problem(name);
    std::printf("%-8s %5d %5d  %s%s\n", name.c_str(), p->n(), p->m(), p->description().c_str(),
                problems::is_scalable(name) ? " [--n N]" : "");
  }
  return kExitConverged;
}

int check_all(vek::NLPSystemFactory* factory, const CommandLine& cl) {
  if (!cl.names.empty()) return usage_error("check takes no problem names");
  std::printf("%-8s %4s %4s %15s | %15s %9s %9s %6s %4s | %15s %4s\n", "problem", "n", "m", "known optimum",
              "OptTol 1e-12", "|f-f*|", "violation", "evals", "ok", "OptTol 1e-6", "ok");
  int solved_tight = 0, solved_default = 0, total = 0;
  long functions = 0, derivatives = 0;
  for (const std::string& name : problems::problem_names()) {
    const auto p = problems::make_problem(name, problems::is_scalable(name) ? cl.size : 0);
    SolveSettings tight = settings_from(cl), loose = settings_from(cl);
    tight.parameters.emplace_back("OptTol", kTightTolerance);
    loose.parameters.emplace_back("OptTol", kDefaultTolerance);
    SolveOutcome a, b;
    if (!run_solve_reporting_memory(factory, *p, tight, &a) ||
        !run_solve_reporting_memory(factory, *p, loose, &b))
      return kExitUsage;
    if (!a.error.empty()) {
      std::fprintf(stderr, "talvir: %s\n", a.error.c_str());
      return a.bad_parameter ? kExitUsage : kExitModule;
    }
    const bool ok_a = judged_solved(*p, a), ok_b = judged_solved(*p, b);
    ++total;
    solved_tight += ok_a;
    solved_default += ok_b;
    functions += a.function_evaluations;
    derivatives += a.derivative_evaluations;
    std::printf("%-8s %4d %4d % 15.8e | % 15.8e %9.2e %9.2e %6ld %4s | % 15.8e %4s%s\n", name.c_str(), p->n(),
                p->m(), p->known_optimum(), a.objective, std::fabs(a.objective - p->known_optimum()),
                a.violation, a.function_evaluations + a.derivative_evaluations, ok_a ? "ok" : "FAIL",
                b.objective, ok_b ? "ok" : "FAIL", a.converged ? "" : "  (tight: not converged)");
  }
  std::printf(
      "summary: %d of %d solved at OptTol %s, %d at OptTol %s; evaluations at OptTol %s: functions %ld, "
      "derivatives %ld\n",
      solved_tight, total, kTightTolerance, solved_default, kDefaultTolerance, kTightTolerance, functions,
      derivatives);
  return solved_tight == total ? kExitConverged : kExitNotConverged;
}

// Every --set applied through the factory's parameter view (the module's table is shared by all its
// solvers), so that a bad name or value is a usage error before anything is solved.
std::string apply_settings(vek::NLPSystemFactory* factory, const CommandLine& cl) {
  vek::ParameterList* list = nullptr;
  if (factory->QueryInterface(vek::kIidParameterList, reinterpret_cast<void**>(&list)) != vek::kOk ||
      list == nullptr) {
    return cl.parameters.empty() && !cl.help ? "" : "the module's factory does not offer its parameters";
  }
  std::string error;
  if (cl.help) {
    std::vector<ModuleParameter> params;
    error = read_module_parameters(list, &params);
    if (error.empty()) print_parameters(params, cl.module.empty() ? default_module_path() : cl.module);
  }
  for (size_t k = 0; k < cl.parameters.size() && error.empty() && !cl.help; ++k) {
    error = apply_parameter(list, cl.parameters[k].first, cl.parameters[k].second);
  }
  list->Release();
  return error;
}

// The checks of the command line that need no module.
std::string command_fault(const CommandLine& cl) {
  if (cl.command != "solve" && cl.command != "check") return "unknown command '" + cl.command + "'";
  if (cl.command == "check") {
    for (const auto& assignment : cl.parameters) {
      if (strcasecmp(assignment.first.c_str(), "OptTol") == 0)
        return std::string("check solves at OptTol ") + kTightTolerance + " and " + kDefaultTolerance +
               " itself; --set OptTol cannot be used with check";
    }
  }
  return "";
}

int run_with_module(const CommandLine& cl) {
  const std::string module_path = cl.module.empty() ? default_module_path() : cl.module;
  PluginModule module;
  std::string load_error;
  if (!module.open(module_path, &load_error)) {
    std::fprintf(stderr, "talvir: %s\n", load_error.c_str());
    return kExitModule;
  }
  vek::NLPSystemFactory* factory = module.factory();
  if (factory == nullptr) {
    std::fprintf(stderr, "talvir: the module %s gave no solver factory\n", module_path.c_str());
    return kExitModule;
  }
  const std::string settings_error = apply_settings(factory, cl);
  int status = kExitConverged;
  if (!settings_error.empty()) {
    status = cl.help ? kExitModule : usage_error(settings_error);
    if (cl.help) std::fprintf(stderr, "talvir: %s\n", settings_error.c_str());
  } else if (cl.help) {
    print_closing_help();
  } else {
    status = cl.command == "solve" ? solve_one(factory, cl, module_path) : check_all(factory, cl);
  }
  factory->Release();
  return status;
}

// The commands on the native API: check-derivatives, and solve with --log or --time-limit.
int run_natively(const CommandLine& cl) {
#ifdef TALVIR_WITH_API
  if (cl.command == "check-derivatives") return check_derivatives(cl.names);
  if (cl.command != "solve") return usage_error("--log and --time-limit go with solve");
  const std::string name = cl.names.empty() ? kDefaultExample : cl.names[0];
  if (cl.names.size() > 1) return usage_error("solve takes one problem name");
  if (problems::make_problem(name) == nullptr)
    return usage_error("unknown problem '" + name + "' (see 'talvir list')");
  return solve_natively(*problems::make_problem(name, cl.size), cl.log, cl.time_limit, cl.parameters);
#else
  (void)cl;
  return usage_error(
      "this talvir was built without the native API: no check-derivatives, --log or --time-limit");
#endif
}

int run(int argc, char** argv) {
  CommandLine cl;
  const std::string error = parse(argc, argv, cl);
  if (!error.empty()) return usage_error(error);
  if (cl.help) {
    print_usage(cl.module.empty() ? default_module_path() : cl.module);
    return run_with_module(cl);
  }
  if (cl.command.empty()) cl.command = "solve";
  if (cl.command == "list")
    return cl.names.empty() ? list_problems() : usage_error("list takes no arguments");
  if (cl.command == "check-derivatives" || cl.log || cl.time_limit > 0) return run_natively(cl);
  const std::string fault = command_fault(cl);
  if (!fault.empty()) return usage_error(fault);
  return run_with_module(cl);
}

}  // namespace
}  // namespace talvir::host

int main(int argc, char** argv) {
#ifdef TALVIR_WITH_AMPL
  if (talvir::ampl::is_ampl_command_line(argc, argv)) return talvir::ampl::run_ampl(argc, argv);
#endif
  return talvir::host::run(argc, argv);
}
