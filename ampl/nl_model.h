// An AMPL model read from a .nl file with the AMPL Solver Library (ASL), cast into the solver's form:
// minimise sense * f(x) subject to engine rows c_e(x) = 0 or c_e(x) >= 0 and xl <= x <= xu.
//
// Each ASL constraint L <= c(x) <= U becomes
//   L = U (finite)          one equality row      c - L = 0
//   L finite, U infinite    one inequality row    c - L >= 0
//   L infinite, U finite    one inequality row    U - c >= 0
//   both finite, L < U      two rows, in the order c - L >= 0, U - c >= 0 (a range)
//   both infinite           no row (a free row; its dual is 0)
// A bound counts as infinite when its magnitude is kInfiniteBound or more; absent variable bounds
// reach the solver as -kInfiniteBound / +kInfiniteBound. Maximisation is minimisation of -f
// (sense -1); a model without an objective, or objno = 0, is a feasibility problem (f = 0).
//
// begin_nl(model)               makes the model's ASL record (for option reading before open_nl)
// open_nl(stub, model)          opens stub.nl (or stub itself) and reads its header; false when the
//                               file does not exist or cannot be opened, or the header's sizes
//                               exceed what the file can hold (model.message says which).
//                               A header ASL cannot parse ends the process in ASL with its message
// refusal(model, ending, why)   true when the solver cannot take this model, with the ending
//                               (kComplementarity, kIntegerModel, kUnsupportedModel) and the reason:
//                               complementarity conditions, integer variables, logical constraints,
//                               no variables
// select_objective(model, objno) objno = 1..n_obj picks that objective, 0 none; "" or the reason.
//                               Call it before read_nl, which then learns the objective's sense
// read_nl(model)                reads the body (fg_read), fills bounds, start point, rows and the
//                               Jacobian structure; false with model.message for a corrupt body or
//                               one cut short (a segment the header announces missing or incomplete,
//                               ampl/nl_complete.h)
// close_nl(model)               frees the ASL record
//
// The Jacobian structure comes from ASL's column lists: entries run column by column (A_colstarts),
// each ASL entry naming its row (A_rownos) and giving one engine entry per engine row of that row,
// with sign +1 (equality, lower side) or -1 (upper side). jac_source[k] is the ASL position (goff)
// whose value, times jac_sign[k], is engine entry k.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "ampl/endings.h"

typedef struct ASL ASL;

namespace talvir::ampl {

inline constexpr double kInfiniteBound = 1.0e20;

enum class RowSide { kEquality, kLower, kUpper };

struct EngineRow {
  int source;     // ASL constraint, 0-based
  RowSide side;   // which bound this row keeps
  double offset;  // L for kEquality and kLower, U for kUpper
};

struct NlModel {
  ASL* asl = nullptr;  // owned: close_nl frees it
  std::string stub;    // the stub without ".nl"
  std::string message;
  std::FILE* nl_file = nullptr;  // the open .nl stream between open_nl and read_nl

  int n = 0;             // variables
  int m_source = 0;      // ASL constraints
  int n_objectives = 0;  // ASL objectives
  int objective = -1;    // ASL objective in use, -1 none
  double sense = 1.0;    // +1 minimise, -1 maximise
  std::vector<double> xl, xu, x0;
  std::vector<EngineRow> rows;        // engine rows in order
  std::vector<int> first_row;         // per ASL constraint: its first engine row, -1 for a free row
  std::vector<int> jac_row, jac_col;  // engine Jacobian structure, 0-based, column by column
  std::vector<int> jac_source;
  std::vector<double> jac_sign;

  // The bound arrays ASL fills while reading the body (pairs lower, upper), owned here.
  std::vector<double> variable_bounds, row_bounds;

  // Scratch for the evaluation glue, sized by read_nl.
  std::vector<double> c_source, jac_source_values;

  // Counted by the evaluation glue (ampl/nl_evaluate.h).
  long function_evaluations = 0;
  long derivative_evaluations = 0;
  long failed_evaluations = 0;
  double evaluation_seconds = 0.0;  // time spent in the glue, ASL's evaluations included

  int m() const { return static_cast<int>(rows.size()); }
  int nnz() const { return static_cast<int>(jac_row.size()); }
};

void begin_nl(NlModel& model);
bool open_nl(const std::string& stub, NlModel& model);
bool refusal(const NlModel& model, Ending& ending, std::string& why);
std::string select_objective(NlModel& model, int objno);
bool read_nl(NlModel& model);
void close_nl(NlModel& model);

// The stub of a command-line file name: "x.nl" gives "x", anything else stays as it is.
std::string stub_of(const std::string& name);

}  // namespace talvir::ampl
