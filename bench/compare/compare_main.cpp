// talvir_compare: the bundled collection, its scalable families and the dense family "dense_qp" solved
// by the TALVIR plug-in (loaded by path, as a host loads it) and, when the build found them, by NLopt's
// SLSQP and Ipopt, from the same starting points with the same tolerance; one CSV line per problem and
// solver.
//
//   talvir_compare [--module PATH] [--out FILE] [--sizes [family:]10,25,...] [--no-collection]
//                  [--no-families] [--min-time SECONDS] [--tolerance T] [--max-iterations K]
//                  [--solvers a,b,...] [--robustness]
//
// --robustness adds the robustness set (problems::robustness_problem_names(): constructed problems of
// the classes where the documented method stops, and ones that must fail; for those `solved` is the
// solver's own success report, so a 1 there is a false success).
// Default sizes: 10, 25, 50, 100, 200, 400 ("chain": up to 100). Defaults: tolerance 1e-6, iteration
// limit 3000.
//
// CSV columns: problem, n, m, solver, solved, reported_success, objective, violation, evaluations,
// iterations, repeats, wall_time_s, cpu_time_s. `solved`: the largest constraint or bound violation is at
// most 1e-5 and, when the optimum is known, the objective is within 1e-5 max(1, |f*|) plus the published
// value's own tolerance of it (else the solver's own success report). `wall_time_s`: the mean wall time of
// one whole solve, over `repeats` back-to-back solves lasting at least --min-time together (default 0.05 s);
// `cpu_time_s` the processor time of the process over the same solves (less disturbed by a busy machine).
// A summary per solver goes to standard error.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/compare/solver_adapter.h"
#include "host/module.h"
#include "host/solve_run.h"

namespace talvir::bench {
namespace {

struct Options {
  std::string module = host::default_module_path();
  std::string out;
  std::map<std::string, std::vector<int>> sizes;  // per family; "" for every family

  bool collection = true, families = true, robustness = false;
  double min_time = 0.05;
  SolveLimits limits;
  std::vector<std::string> solvers;  // empty: all available
};

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

bool parse(int argc, char** argv, Options& o) {
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    const bool has_value = k + 1 < argc;
    if (arg == "--no-collection")
      o.collection = false;
    else if (arg == "--robustness")
      o.robustness = true;
    else if (arg == "--no-families")
      o.families = false;
    else if (!has_value)
      return false;
    else if (arg == "--module")
      o.module = argv[++k];
    else if (arg == "--out")
      o.out = argv[++k];
    else if (arg == "--min-time")
      o.min_time = std::atof(argv[++k]);
    else if (arg == "--tolerance")
      o.limits.tolerance = std::atof(argv[++k]);
    else if (arg == "--max-iterations")
      o.limits.max_iterations = std::atoi(argv[++k]);
    else if (arg == "--solvers")
      o.solvers = split(argv[++k]);
    else if (arg == "--sizes") {
      // "10,25" for every family, "chain:10,25" for one
      std::string list = argv[++k], family;
      const auto colon = list.find(':');
      if (colon != std::string::npos) family = list.substr(0, colon), list = list.substr(colon + 1);
      std::vector<int>& sizes = o.sizes[family];
      sizes.clear();
      for (const std::string& s : split(list)) sizes.push_back(std::atoi(s.c_str()));
    } else
      return false;
  }
  return true;
}

std::vector<int> sizes_of(const Options& o, const std::string& family) {
  const auto own = o.sizes.find(family);
  if (own != o.sizes.end()) return own->second;
  const auto all = o.sizes.find("");
  if (all != o.sizes.end()) return all->second;
  // "chain" needs ever more iterations as n grows, Ipopt's limited-memory runs most of all.
  if (family == "chain") return {10, 25, 50, 100};
  return {10, 25, 50, 100, 200, 400};
}

std::vector<std::unique_ptr<SolverAdapter>> make_adapters(const Options& o) {
  std::vector<std::unique_ptr<SolverAdapter>> all;
  std::string error;
  if (auto plugin = make_plugin_adapter(o.module, &error))
    all.push_back(std::move(plugin));
  else
    std::fprintf(stderr, "talvir_compare: the plug-in is skipped: %s\n", error.c_str());
#if defined(TALVIR_COMPARE_API)
  all.push_back(make_api_adapter());
  all.push_back(make_api_adapter("Faithful"));
#endif
#if defined(TALVIR_COMPARE_NLOPT)
  all.push_back(make_nlopt_adapter());
#else
  std::fprintf(stderr, "talvir_compare: built without NLopt (libnlopt-dev): its column is skipped\n");
#endif
#if defined(TALVIR_COMPARE_IPOPT)
  all.push_back(make_ipopt_adapter());
#else
  std::fprintf(stderr, "talvir_compare: built without Ipopt (coinor-libipopt-dev): its column is skipped\n");
#endif
  if (o.solvers.empty()) return all;
  std::vector<std::unique_ptr<SolverAdapter>> chosen;
  for (auto& a : all)
    if (std::find(o.solvers.begin(), o.solvers.end(), a->name()) != o.solvers.end())
      chosen.push_back(std::move(a));
  return chosen;
}

struct Row {
  std::string problem, solver;
  int n = 0, m = 0;
  bool solved = false;
  SolveReport report;
  double objective = 0.0, violation = 0.0, seconds = 0.0, cpu_seconds = 0.0;
  long repeats = 0;
};

bool judge(const problems::TestProblem& p, const SolveReport& r, double objective, double violation) {
  if (!(violation <= 1.0e-5) || !std::isfinite(objective)) return false;
  const double known = p.known_optimum();
  if (std::isnan(known)) return r.reported_success;
  const double published = std::isnan(p.optimum_tolerance()) ? 0.0 : p.optimum_tolerance();
  return std::fabs(objective - known) <= 1.0e-5 * std::max(1.0, std::fabs(known)) + published;
}

double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1.0e-9 * static_cast<double>(t.tv_nsec);
}

Row run(SolverAdapter& solver, const problems::TestProblem& p, const Options& o) {
  using Clock = std::chrono::steady_clock;
  Row row;
  row.problem = p.name();
  row.solver = solver.name();
  row.n = p.n();
  row.m = p.m();
  Clock::time_point start = Clock::now();
  double cpu_start = cpu_now();
  row.report = solver.solve(p, o.limits);
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  double cpu = cpu_now() - cpu_start;
  row.repeats = 1;
  if (elapsed < o.min_time) {  // time again without the first (warming) solve
    start = Clock::now();
    cpu_start = cpu_now();
    row.repeats = 0;
    do {
      solver.solve(p, o.limits);
      ++row.repeats;
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < o.min_time);
    cpu = cpu_now() - cpu_start;
  }
  row.cpu_seconds = cpu / static_cast<double>(row.repeats);
  row.seconds = elapsed / static_cast<double>(row.repeats);
  if (static_cast<int>(row.report.x.size()) == p.n()) {
    row.objective = p.objective(row.report.x.data());
    row.violation = host::violation_at(p, row.report.x.data());
  } else {
    row.objective = row.violation = NAN;
  }
  row.solved = judge(p, row.report, row.objective, row.violation);
  return row;
}

void write_row(std::FILE* out, const Row& r) {
  std::fprintf(out, "%s,%d,%d,%s,%d,%d,%.12g,%.3g,%ld,%ld,%ld,%.6g,%.6g\n", r.problem.c_str(), r.n, r.m,
               r.solver.c_str(), r.solved ? 1 : 0, r.report.reported_success ? 1 : 0, r.objective,
               r.violation, r.report.evaluations, r.report.iterations, r.repeats, r.seconds, r.cpu_seconds);
  std::fflush(out);
}

// Per solver over the collection: problems solved, total wall time, median evaluations.
void summarise(const std::vector<Row>& rows) {
  std::map<std::string, std::vector<const Row*>> by_solver;
  for (const Row& r : rows)
    if (!problems::is_scalable(r.problem) && r.problem != "dense_qp") by_solver[r.solver].push_back(&r);
  for (const auto& [solver, list] : by_solver) {
    double total = 0.0;
    long solved = 0;
    std::vector<long> evaluations;
    for (const Row* r : list) {
      total += r->seconds;
      solved += r->solved;
      evaluations.push_back(r->report.evaluations);
    }
    std::sort(evaluations.begin(), evaluations.end());
    const std::size_t k = evaluations.size();
    const double median = k == 0 ? 0.0 : (evaluations[(k - 1) / 2] + evaluations[k / 2]) / 2.0;
    std::fprintf(stderr, "%-14s collection: %ld of %zu solved, total %.4f s, median evaluations %.1f\n",
                 solver.c_str(), solved, list.size(), total, median);
  }
}

}  // namespace
}  // namespace talvir::bench

int main(int argc, char** argv) {
  using namespace talvir;
  bench::Options o;
  if (!bench::parse(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: talvir_compare [--module PATH] [--out FILE] [--sizes 10,25,...] [--no-collection]\n"
                 "       [--no-families] [--min-time S] [--tolerance T] [--max-iterations K] "
                 "[--solvers a,b] [--robustness]\n");
    return 2;
  }
  auto adapters = bench::make_adapters(o);
  std::FILE* out = o.out.empty() ? stdout : std::fopen(o.out.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "talvir_compare: cannot write %s\n", o.out.c_str());
    return 1;
  }
  std::fprintf(out,
               "problem,n,m,solver,solved,reported_success,objective,violation,evaluations,iterations,"
               "repeats,wall_time_s,cpu_time_s\n");
  std::vector<bench::Row> rows;
  auto solve_all = [&](const problems::TestProblem& p) {
    for (auto& a : adapters) {
      rows.push_back(bench::run(*a, p, o));
      bench::write_row(out, rows.back());
    }
  };
  for (const std::string& name : problems::problem_names()) {
    if (problems::is_scalable(name)) {
      if (!o.families) continue;
      for (int n : sizes_of(o, name)) solve_all(*problems::make_problem(name, n));
    } else if (o.collection) {
      solve_all(*problems::make_problem(name));
    }
  }
  if (o.families) {
    for (int n : sizes_of(o, "dense_qp")) solve_all(*bench::make_dense_qp(n));
  }
  if (o.robustness) {
    for (const std::string& name : problems::robustness_problem_names())
      solve_all(*problems::make_problem(name));
  }
  if (out != stdout) std::fclose(out);
  bench::summarise(rows);
  return 0;
}
