// bench_ampl: the AMPL driver on the .nl fixtures beside the bundled C++ definitions of the same
// problems (host/problems), both solved through the native API in this process.
//
//   bench_ampl [--opttol T] [--repeat R]
//
// For every fixture whose problem is bundled: the AMPL path (read stub.nl with ASL, solve with the
// evaluation glue answering the requests, write stub.sol with write_sol, in a temporary folder) and the
// bundled path (the C++ functions answering the same API). Each is judged solved when it converged
// with |f - f*| within the published tolerance and a violation of at most 1e-6 (f* from the fixture
// index, or the bundled problem's value). Times are the minimum over R repetitions of each phase (the
// AMPL path's total is the sum of its phase minima); the driver's own overhead is reading + evaluation
// glue (ASL's evaluations included) + writing, as a share of that total and against the solver's own
// time (the solve less the evaluation glue). Prints one line per problem and a summary.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ampl/nl_model.h"
#include "ampl/nl_solve.h"
#include "ampl/options.h"
#include "ampl/sol_answer.h"
#include "host/problems/problem.h"
#include "talvir/talvir.h"

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

namespace {

using Clock = std::chrono::steady_clock;
using talvir::problems::TestProblem;

double since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

struct Row {
  std::string file, problem, fstar;
};

std::vector<Row> fixture_rows() {
  std::ifstream in(std::string(TALVIR_NL_DIR) + "/index.csv");
  std::vector<Row> rows;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream parts(line);
    for (std::string item; std::getline(parts, item, ',');) f.push_back(item);
    if (f.size() >= 2) rows.push_back({f[0], f[1], f.size() > 7 ? f[7] : ""});
  }
  return rows;
}

// A copy of the fixture in `dir`; returns its stub.
std::string copy_to(const std::string& dir, const std::string& file) {
  const std::string stub = talvir::ampl::stub_of(file);
  for (const char* ext : {".nl", ".col", ".row"}) {
    std::ifstream in(std::string(TALVIR_NL_DIR) + "/" + stub + ext, std::ios::binary);
    if (!in) continue;
    std::ofstream out(dir + "/" + stub + ext, std::ios::binary);
    out << in.rdbuf();
  }
  return dir + "/" + stub;
}

struct Timing {
  double read = 1e30, glue = 1e30, solver = 1e30, write = 1e30, total = 1e30;
};

struct PathResult {
  bool converged = false;
  double f = 0.0, violation = 0.0;
};

PathResult ampl_path(const std::string& stub, double opttol, Timing& t) {
  using namespace talvir::ampl;
  AmplOptions options;
  char tolerance[32];
  std::snprintf(tolerance, sizeof(tolerance), "%.17g", opttol);
  options.parameters = {{"OptTol", tolerance}};
  Option_Info* info = option_info(options);
  info->wantsol = 1 + 8;  // write stub.sol as with -AMPL, print nothing
  const auto start = Clock::now();
  NlModel model;
  open_nl(stub, model);
  select_objective(model, 1);
  read_nl(model);
  const double read = since(start);
  NlSolution solution;
  auto clock = Clock::now();
  solve_nl(model, options, solution);
  const double solve = since(clock);
  clock = Clock::now();
  write_answer(model, info, solution.ending, solution.detail, &solution);
  const double write = since(clock);
  t.read = std::min(t.read, read);
  t.glue = std::min(t.glue, model.evaluation_seconds);
  t.solver = std::min(t.solver, solve - model.evaluation_seconds);
  t.write = std::min(t.write, write);
  PathResult r{solution.ending == Ending::kOptimal, solution.objective, solution.violation};
  close_nl(model);
  return r;
}

// The bundled definition's callbacks.
int objective_cb(int, const double* x, double* f, void* u) {
  *f = static_cast<TestProblem*>(u)->objective(x);
  return TALVIR_CALLBACK_OK;
}
int constraints_cb(int, int, const double* x, double* c, void* u) {
  static_cast<TestProblem*>(u)->constraints(x, c);
  return TALVIR_CALLBACK_OK;
}
int gradient_cb(int, const double* x, double* g, void* u) {
  static_cast<TestProblem*>(u)->gradient(x, g);
  return TALVIR_CALLBACK_OK;
}
int jacobian_cb(int, int, int, const double* x, double* v, void* u) {
  static_cast<TestProblem*>(u)->jacobian(x, v);
  return TALVIR_CALLBACK_OK;
}

PathResult bundled_path(TestProblem& p, double opttol, double& seconds) {
  const int n = p.n(), m = p.m();
  std::vector<int> kinds(m);
  for (int j = 0; j < m; ++j) kinds[j] = p.kind(j);
  std::vector<double> xl(n), xu(n), x0(n);
  p.bounds(xl.data(), xu.data());
  p.start(x0.data());
  const auto start = Clock::now();
  talvir_solver* s = nullptr;
  talvir_create(n, m, kinds.data(), &s);
  talvir_set_bounds(s, xl.data(), xu.data());
  talvir_set_start(s, x0.data());
  talvir_set_real_parameter(s, "OptTol", opttol);
  talvir_solve(s, objective_cb, m > 0 ? constraints_cb : nullptr, gradient_cb, m > 0 ? jacobian_cb : nullptr,
               &p);
  PathResult r;
  int ending = 0;
  talvir_get_ending(s, &ending);
  r.converged = ending == TALVIR_ENDING_CONVERGED;
  talvir_get_objective(s, &r.f);
  talvir_get_max_violation(s, &r.violation);
  talvir_free(s);
  seconds = std::min(seconds, since(start));
  return r;
}

bool judged(const PathResult& r, double fstar, double tol) {
  return r.converged && std::fabs(r.f - fstar) <= tol && r.violation <= 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
  double opttol = 1e-12;
  int repeat = 20;
  for (int k = 1; k + 1 < argc; k += 2) {
    if (std::string(argv[k]) == "--opttol") opttol = std::atof(argv[k + 1]);
    if (std::string(argv[k]) == "--repeat") repeat = std::max(1, std::atoi(argv[k + 1]));
  }
  char dir[] = "/tmp/bench_ampl_XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  std::printf("OptTol %g, minimum of %d repetitions; times in microseconds\n", opttol, repeat);
  std::printf("%-7s | %-4s %15s %-6s | %-4s %15s %-6s | %7s %7s %7s %7s %8s %9s | %8s\n", "problem", "AMPL",
              "f", "solved", "C++", "f", "solved", "read", "glue", "solver", "write", "total", "overhead",
              "C++ total");
  int common = 0, solved_ampl = 0, solved_cpp = 0, agree = 0;
  double sum_overhead = 0.0, sum_total = 0.0, sum_cpp = 0.0, sum_solver = 0.0, sum_glue = 0.0, sum_io = 0.0;
  std::vector<double> shares;
  for (const Row& row : fixture_rows()) {
    auto problem = talvir::problems::make_problem(row.problem);
    if (!problem) continue;
    ++common;
    const std::string stub = copy_to(dir, row.file);
    const double fstar =
        row.fstar.empty() ? problem->known_optimum() : std::strtod(row.fstar.c_str(), nullptr);
    const double tol =
        row.fstar.empty() ? problem->optimum_tolerance() : talvir::problems::published_tolerance(row.fstar);
    Timing t;
    double cpp_seconds = 1e30;
    PathResult a, b;
    for (int r = 0; r < repeat; ++r) {
      a = ampl_path(stub, opttol, t);
      b = bundled_path(*problem, opttol, cpp_seconds);
    }
    const bool ok_a = judged(a, fstar, tol), ok_b = judged(b, fstar, tol);
    solved_ampl += ok_a;
    solved_cpp += ok_b;
    agree += ok_a == ok_b;
    t.total = t.read + t.glue + t.solver + t.write;  // the phase minima added up
    const double overhead = t.read + t.glue + t.write;
    shares.push_back(overhead / t.total);
    sum_overhead += overhead;
    sum_total += t.total;
    sum_solver += t.solver;
    sum_glue += t.glue;
    sum_io += t.read + t.write;
    sum_cpp += cpp_seconds;
    std::printf(
        "%-7s | %-4s % 15.8e %-6s | %-4s % 15.8e %-6s | %7.1f %7.1f %7.1f %7.1f %8.1f %8.1f%% | %8.1f\n",
        row.problem.c_str(), a.converged ? "conv" : "end", a.f, ok_a ? "yes" : "no",
        b.converged ? "conv" : "end", b.f, ok_b ? "yes" : "no", t.read * 1e6, t.glue * 1e6, t.solver * 1e6,
        t.write * 1e6, t.total * 1e6, 100.0 * overhead / t.total, cpp_seconds * 1e6);
  }
  std::sort(shares.begin(), shares.end());
  std::printf(
      "summary: %d fixtures with a bundled definition; solved: AMPL %d, C++ definitions %d (same verdict on "
      "%d)\n"
      "driver overhead (read + evaluation glue + write): %.1f%% of the AMPL path's time over all problems "
      "(median per problem %.1f%%), %.2f times the solver's own time; AMPL path / C++ path time: %.2f\n",
      common, solved_ampl, solved_cpp, agree, 100.0 * sum_overhead / sum_total,
      shares.empty() ? 0.0 : 100.0 * shares[shares.size() / 2], sum_overhead / sum_solver,
      sum_total / sum_cpp);
  std::printf(
      "of which: reading and writing %.1f us per problem on average; evaluation glue %.1f%% of the solve "
      "(glue + solver)\n",
      1e6 * sum_io / std::max(common, 1), 100.0 * sum_glue / (sum_glue + sum_solver));
  std::string cleanup = std::string("rm -rf ") + dir;
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
