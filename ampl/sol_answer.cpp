// The answer to AMPL through write_sol. Contract in ampl/sol_answer.h.
#include "ampl/sol_answer.h"

#include <cstdio>
#include <vector>

#include "ampl/options.h"

// clang-format off
#include "ampl/asl_include.h"  // last: ASL's macros must reach no other header
// clang-format on

namespace talvir::ampl {

std::string solution_message(const NlModel& model, Ending ending, const std::string& detail,
                             const NlSolution* solution) {
  std::string text = std::string(solver_banner()) + ": " + ending_info(ending).text + ".";
  if (!detail.empty()) text += "\n" + detail;
  if (solution != nullptr && !solution->x.empty() && ending != Ending::kStartNotEvaluable) {
    char line[240];
    if (model.objective >= 0) {
      std::snprintf(line, sizeof(line), "\nobjective %.10g; ", solution->objective);
      text += line;
    } else {
      text += "\n";
    }
    std::snprintf(line, sizeof(line),
                  "%d iterations, %d function and %d derivative evaluations; max violation %.3g",
                  solution->iterations, solution->value_evaluations, solution->derivative_evaluations,
                  solution->violation);
    text += line;
    if (model.failed_evaluations > 0) {
      std::snprintf(line, sizeof(line), "\n%ld evaluations failed (the step was cut)",
                    model.failed_evaluations);
      text += line;
    }
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

void write_answer(NlModel& model, Option_Info* info, Ending ending, const std::string& detail,
                  const NlSolution* solution) {
  ASL* asl = model.asl;
  solve_result_num = ending_info(ending).code;
  const std::string message = solution_message(model, ending, detail, solution);
  const bool with_point = solution != nullptr && static_cast<int>(solution->x.size()) == model.n;
  std::vector<double> x, y;
  if (with_point) {
    x = solution->x;
    y = ampl_duals(model, solution->lambda);
  }
  write_sol(const_cast<char*>(message.c_str()), with_point ? x.data() : nullptr,
            with_point && !y.empty() ? y.data() : nullptr, info);
}

}  // namespace talvir::ampl
