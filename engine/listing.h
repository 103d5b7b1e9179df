// The engine's listing on output unit 7: every line layout of MIRAX, MXITER, MXPRNT and MIRAX2.
//
// Each writer writes one layout (or one fixed group of lines) unconditionally; the callers decide
// whether IPRINT allows it. Numbers go through the fixed-form fields of io/layout.h, so the text is
// exact to the column.
//
// Vector layouts ("  X  =", "  C  =", " L.M =") put five values on the labelled line and five on
// each following line, which begins with six blanks. When the count is an exact multiple of five the
// listing ends after the last value: no extra line of six blanks is written (a strict format reader
// would add one; nothing reads it, and it would only be noise).
#pragma once

#include <string_view>

namespace vek::engine {

// MXPRNT: the iteration block (ITERATIONS line, X, F and, when M > 0, C and the multipliers).
//   ITER, NCALL in; N, M in; X (N), F, C (M), U (M) in; IPRINT in: nothing is written when < 0.
void MXPRNT(int ITER, int NCALL, int N, int M, const double* X, double F, const double* C, const double* U,
            int IPRINT);

namespace listing {

// Argument and value errors (each: two empty lines, the message, one empty line).
void illegal_inf(int inf);
void illegal_sizes(int n, int m, int lcn, int mode);
void illegal_kind(int j, int kind);
void short_workspace(int lwvf, long long min_lwvf, int lwqp, long long min_lwqp);
// A non-finite value of `what` ("X", "F", "G", "C" or "A") where no step can be cut.
void non_finite(std::string_view what, int iter);
void illegal_bounds(int i, double xl, double xu);
void illegal_scale(int i, double d);

// List-directed lines: a blank line, and one or two text items.
void blank_line();
void text(std::string_view a, std::string_view b = {});
// (1X,A,1PE15.9): "  SUM = ", "  F   = " and the watchdog labels with their value.
void labelled(std::string_view label, double value);

// (3X, head, I4, label1, 1PE11.4, label2, 1PE11.4, " PROD. = ", 1PE11.4): the table rows.
void variable_row(int i, double g, double d, double prod);    // DEC.VAR. / GRAD. / DELTA
void multiplier_row(int j, double u, double c, double prod);  // CONSTR. / MULT. / VIOL.
void weight_row(int j, double mu, double viol, double prod);  // CONSTR. / WGHT. / VIOL.
void value_row(int j, double u, double c, double prod);       // CONSTR. / MULT. / VALUE
// (3X,"CONSTR.  ",I4," VIOL. = ",1PE11.4," TOL.  = ",1PE11.4): a constraint that fails the feasibility
// test of a point whose convergence sum passed.
void tolerance_row(int j, double viol, double tol);

// The uphill diagnostics (written whatever IPRINT is); D has N+1 elements.
void uphill_block(double phi0, double f, double p, double gdot, double dphi, int n, const double* d);

// Messages of the endings: 2 (with ITER), 3 (with MAXLS), 4 (with the QP message), 6.
void ending_message(int code, int iter, int maxls);
// "THE PRINTING OF THE LAST ITERATION ..." after the final block.
void final_block_note();
// An elastic step of the robust strategy: "*** MIRAX, ELASTIC STEP (ROBUST STRATEGY) : RHO = ", then the
// linearised violation before and after the step, each (1X,A,1PE15.9).
void elastic_step(double rho, double theta0, double theta1);
// The locally infeasible ending of the robust strategy: "ERROR RETURN FROM MIRAX: LOCALLY INFEASIBLE AT
// ITERATION ",I5 after a blank line.
void locally_infeasible_message(int iter);
// The unbounded ending: "ERROR RETURN FROM MIRAX: PROBLEM UNBOUNDED AT ITERATION ",I5 after a blank
// line (a variable at 1.0E+20 or beyond, or F at -1.0E+20 or below).
void unbounded_message(int iter);

// MIRAX2: the scratch file could not be opened on `unit` (written whatever IPRINT is).
void scratch_warning(int unit);

}  // namespace listing
}  // namespace vek::engine
