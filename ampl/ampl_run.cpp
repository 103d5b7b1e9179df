// The AMPL solver run. Contract in ampl/ampl_run.h.
#include "ampl/ampl_run.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "ampl/endings.h"
#include "ampl/nl_model.h"
#include "ampl/nl_solve.h"
#include "ampl/options.h"
#include "ampl/sol_answer.h"

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

namespace talvir::ampl {
namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct RunTimes {
  double read = 0.0, solve = 0.0, evaluation = 0.0, write = 0.0;
};

bool file_exists(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

void print_summary(const NlModel& model) {
  int equalities = 0, ranges = 0;
  for (int j = 0; j < model.m(); ++j) {
    equalities += model.rows[j].side == RowSide::kEquality;
    ranges += j > 0 && model.rows[j].source == model.rows[j - 1].source;
  }
  int free_rows = 0;
  for (int first : model.first_row) free_rows += first < 0;
  std::printf(
      "talvir: %s.nl: %d variables, %d constraints -> %d rows (%d equalities, %d ranges split, %d free "
      "rows dropped), %d Jacobian entries; %s\n",
      model.stub.c_str(), model.n, model.m_source, model.m(), equalities, ranges, free_rows, model.nnz(),
      model.objective < 0 ? "no objective (feasibility)"
                          : (model.sense < 0 ? "maximise objective" : "minimise objective"));
}

void print_times(const AmplOptions& options, const RunTimes& t) {
  if (options.timing == 0) return;
  FILE* out = options.timing == 2 ? stderr : stdout;
  const double total = t.read + t.solve + t.write;
  std::fprintf(out,
               "talvir times: read %.3f ms, solve %.3f ms (evaluations %.3f ms, solver %.3f ms), write %.3f "
               "ms; driver overhead (read, evaluation glue, write) %.1f%% of %.3f ms\n",
               t.read * 1e3, t.solve * 1e3, t.evaluation * 1e3, (t.solve - t.evaluation) * 1e3, t.write * 1e3,
               total > 0 ? 100.0 * (t.read + t.evaluation + t.write) / total : 0.0, total * 1e3);
}

// Writes the answer for an ending without a solve; returns the exit status.
int answer_only(NlModel& model, Option_Info* info, Ending ending, const std::string& detail) {
  std::fprintf(stderr, "talvir: %s\n", detail.c_str());
  const bool written = write_answer(model, info, ending, detail, nullptr);
  close_nl(model);
  return written ? 0 : 1;
}

// Reads, solves and answers an opened model; returns the exit status.
int solve_and_answer(NlModel& model, Option_Info* info, const AmplOptions& options, RunTimes& times) {
  auto clock = Clock::now();
  if (!read_nl(model)) return answer_only(model, info, Ending::kCorruptFile, model.message);
  times.read += since(clock);
  if (options.outlev >= 1) print_summary(model);
  NlSolution solution;
  clock = Clock::now();
  solve_nl(model, options, solution);
  times.solve = since(clock);
  times.evaluation = model.evaluation_seconds;
  clock = Clock::now();
  const bool written = write_answer(model, info, solution.ending, solution.detail, &solution);
  times.write = since(clock);
  print_times(options, times);
  close_nl(model);
  return written ? 0 : 1;
}

}  // namespace

bool is_ampl_command_line(int argc, char** argv) {
  for (int k = 1; k < argc; ++k)
    if (std::strcmp(argv[k], "-AMPL") == 0) return true;
  if (argc < 2) return false;
  const std::string first = argv[1];
  for (const char* flag : {"-v", "-=", "-?", "-e", "-s"})
    if (first == flag) return true;
  if (first.size() > 3 && first.compare(first.size() - 3, 3, ".nl") == 0) return true;
  for (const char* command : {"solve", "list", "check", "help"})  // the host's own commands come first
    if (first == command) return false;
  return !first.empty() && first[0] != '-' && file_exists(first + ".nl");
}

int run_ampl(int argc, char** argv) {
  (void)argc;
  AmplOptions options;
  Option_Info* info = option_info(options);
  NlModel model;
  begin_nl(model);
  ASL* asl = model.asl;
  const auto start = Clock::now();
  char* stub = getstub(&argv, info);  // handles -v, -= and -? itself (and ends the run)
  if (stub == nullptr) {
    std::fprintf(stderr, "talvir: no stub given; usage: talvir stub[.nl] [-AMPL] [keyword=value ...]\n");
    close_nl(model);
    return 1;
  }
  const int bad = getopts(argv, info);
  if (!open_nl(stub, model)) {
    std::fprintf(stderr, "talvir: %s\n", model.message.c_str());
    close_nl(model);
    return 1;
  }
  RunTimes times;
  times.read = since(start);
  if (bad != 0)
    return answer_only(model, info, Ending::kBadOptions, "bad keyword or value in the options (see above)");
  Ending refused = Ending::kUnsupportedModel;
  std::string why;
  if (refusal(model, refused, why)) return answer_only(model, info, refused, why);
  const std::string objective_problem =
      select_objective(model, options.objno_given ? options.objno : (model.n_objectives > 0 ? 1 : 0));
  if (!objective_problem.empty()) return answer_only(model, info, Ending::kBadObjno, objective_problem);
  return solve_and_answer(model, info, options, times);
}

}  // namespace talvir::ampl
