// The answer to AMPL: stub.sol written by ASL's write_sol, with the solution message, the primal
// values, the constraint duals in AMPL's sign convention and solve_result_num from the ending table.
//
// solution_message(model, ending, solution)   "TALVIR x.y.z: <ending text>", then the detail (the
//                                             solver's or driver's reason) and, when a solve ran, the
//                                             objective, iterations, evaluations and violation, and
//                                             the number of evaluations ASL could not make
// write_answer(model, info, ending, solution) sets solve_result_num and writes stub.sol (as -AMPL or
//                                             wantsol ask); without a solve (`solution` null, or its
//                                             point empty) only the message goes out. The file is
//                                             written beside stub.sol under another name, checked
//                                             whole, flushed to the disk and renamed into place;
//                                             false (with a message on standard error, and no
//                                             stub.sol left, not even an older one) when that fails
#pragma once

#include <string>

#include "ampl/endings.h"
#include "ampl/nl_model.h"
#include "ampl/nl_solve.h"

typedef struct Option_Info Option_Info;

namespace talvir::ampl {

std::string solution_message(const NlModel& model, Ending ending, const std::string& detail,
                             const NlSolution* solution);

bool write_answer(NlModel& model, Option_Info* info, Ending ending, const std::string& detail,
                  const NlSolution* solution);

}  // namespace talvir::ampl
