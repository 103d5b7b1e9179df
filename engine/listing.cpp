// Listing writers of the engine: layouts of MIRAX, MXITER, MXPRNT and MIRAX2 on output unit 7.
//
// Every function writes its lines unconditionally; see listing.h for who decides when. The layouts
// are kept literally (texts, field widths, slashes) so that each can be checked against the listing
// description by eye.
#include "engine/listing.h"

#include "io/layout.h"
#include "io/units.h"

namespace vek::engine {
namespace {

constexpr int kUnit = io::kListingUnit;

// (/,label,5F14.7,/,(6X,5F14.7)); no trailing line of six blanks when n is a multiple of five.
void vector_layout(std::string_view label, int n, const double* v) {
  io::Formatted line(kUnit);
  line.slash().text(label);
  for (int k = 0; k < n; ++k) {
    if (k > 0 && k % 5 == 0) line.slash().x(6);
    line.f(14, 7, v[k]);
  }
  line.end();
}

// (3X,head,I4,l1,1PE11.4,l2,1PE11.4," PROD. = ",1PE11.4)
void table_row(std::string_view head, int idx, std::string_view l1, double v1, std::string_view l2, double v2,
               double prod) {
  io::Formatted(kUnit)
      .x(3)
      .text(head)
      .i(4, idx)
      .text(l1)
      .pe(11, 4, v1)
      .text(l2)
      .pe(11, 4, v2)
      .text(" PROD. = ")
      .pe(11, 4, prod)
      .end();
}

void qp_error_message() {
  io::Formatted(kUnit)
      .slash()
      .x(5)
      .text("ERROR CONDITION FOUND IN")
      .text(" QUADRATIC PROGRAMMING CALCULATION")
      .end();
}

}  // namespace

void MXPRNT(int ITER, int NCALL, int N, int M, const double* X, double F, const double* C, const double* U,
            int IPRINT) {
  if (IPRINT < 0) return;
  io::Formatted(kUnit)
      .slash()
      .x(5)
      .text("ITERATIONS =")
      .i(5, ITER)
      .x(5)
      .text("CALLS OF MIRAX  =")
      .i(5, NCALL)
      .end();
  vector_layout("  X  =", N, X);
  io::Formatted(kUnit).slash().text("  F  =").f(14, 7, F).end();
  if (M > 0) {
    vector_layout("  C  =", M, C);
    vector_layout(" L.M =", M, U);
  }
}

namespace listing {

void illegal_inf(int inf) {
  io::Formatted(kUnit).slash().slash().text("  *** MIRAX ERROR: ILLEGAL INF =").i(6, inf).slash().end();
}

void illegal_sizes(int n, int m, int lcn, int mode) {
  io::Formatted(kUnit)
      .slash()
      .slash()
      .text("  *** MIRAX ERROR: N =")
      .i(6, n)
      .text("  M =")
      .i(6, m)
      .text("  LCN =")
      .i(6, lcn)
      .text("  MODE =")
      .i(6, mode)
      .slash()
      .end();
}

void illegal_kind(int j, int kind) {
  io::Formatted(kUnit)
      .slash()
      .slash()
      .text("  *** MIRAX ERROR: CONSTRAINT")
      .i(4, j)
      .text("  TYPE =")
      .i(5, kind)
      .slash()
      .end();
}

void short_workspace(int lwvf, long long min_lwvf, int lwqp, long long min_lwqp) {
  io::Formatted(kUnit)
      .slash()
      .slash()
      .text("  *** MIRAX ERROR: LWVF =")
      .i(5, lwvf)
      .text(" (MIN =")
      .i(5, min_lwvf)
      .text(")  LWQP =")
      .i(5, lwqp)
      .text(" (MIN =")
      .i(5, min_lwqp)
      .slash()
      .end();
}

void non_finite(std::string_view what, int iter) {
  io::Formatted(kUnit)
      .slash()
      .slash()
      .text("  *** MIRAX ERROR: NON-FINITE ")
      .text(what)
      .text(" AT ITERATION")
      .i(5, iter)
      .slash()
      .end();
}

void illegal_bounds(int i, double xl, double xu) {
  io::Formatted(kUnit)
      .slash()
      .slash()
      .text("  *** MIRAX ERROR: BOUNDS OF VARIABLE")
      .i(6, i)
      .text("  XL =")
      .pe(11, 4, xl)
      .text("  XU =")
      .pe(11, 4, xu)
      .slash()
      .end();
}

void illegal_scale(int i, double d) {
  io::Formatted(kUnit)
      .slash()
      .slash()
      .text("  *** MIRAX ERROR: SCALE OF VARIABLE")
      .i(6, i)
      .text("  D =")
      .pe(11, 4, d)
      .slash()
      .end();
}

void blank_line() {
  io::ListDirected(kUnit).text(" ").end();
}

void text(std::string_view a, std::string_view b) {
  io::ListDirected line(kUnit);
  line.text(a);
  if (!b.empty()) line.text(b);
  line.end();
}

void labelled(std::string_view label, double value) {
  io::Formatted(kUnit).x(1).text(label).pe(15, 9, value).end();
}

void variable_row(int i, double g, double d, double prod) {
  table_row("DEC.VAR. ", i, " GRAD. = ", g, " DELTA = ", d, prod);
}
void multiplier_row(int j, double u, double c, double prod) {
  table_row("CONSTR.  ", j, " MULT. = ", u, " VIOL. = ", c, prod);
}
void weight_row(int j, double mu, double viol, double prod) {
  table_row("CONSTR.  ", j, " WGHT. = ", mu, " VIOL. = ", viol, prod);
}
void value_row(int j, double u, double c, double prod) {
  table_row("CONSTR.  ", j, " MULT. = ", u, " VALUE = ", c, prod);
}

void tolerance_row(int j, double viol, double tol) {
  io::Formatted(kUnit)
      .x(3)
      .text("CONSTR.  ")
      .i(4, j)
      .text(" VIOL. = ")
      .pe(11, 4, viol)
      .text(" TOL.  = ")
      .pe(11, 4, tol)
      .end();
}

void uphill_block(double phi0, double f, double p, double gdot, double dphi, int n, const double* d) {
  io::empty_line(kUnit);
  text("*** MIRAX, PENALTY FUNCTION HAS POSITIVE ", "GRADIENT IN SEARCH DIRECTION.");
  io::ListDirected(kUnit).text("LINE SEARCH PENALTY FUNCTION = ").num(phi0).end();
  io::ListDirected(kUnit).text("OBJECTIVE                    = ").num(f).end();
  io::ListDirected(kUnit).text("SUM OF PENALTY TERMS         = ").num(p).end();
  io::ListDirected(kUnit).text("OBJECTIVE GRADIENT           = ").num(gdot).end();
  io::ListDirected(kUnit).text("GRADIENT OF PENALTY TERMS    = ").num(dphi - gdot).end();
  text("PROPOSED STEP : ");
  io::ListDirected step(kUnit);
  for (int i = 1; i <= n + 1; ++i) step.num(i).num(d[i - 1]);
  step.end();
}

void ending_message(int code, int iter, int maxls) {
  switch (code) {
    case 2:
      io::Formatted(kUnit)
          .slash()
          .x(5)
          .text("ERROR RETURN FROM MIRAX DUE TO")
          .i(5, iter)
          .text("  ITERATIONS")
          .end();
      break;
    case 3:
      io::Formatted(kUnit)
          .slash()
          .x(5)
          .text("RETURN FROM MIRAX  BECAUSE LINE SEARCH REQUIRES")
          .i(3, maxls)
          .text(" CALLS OF MIRAX ")
          .end();
      break;
    case 4:
      io::Formatted(kUnit)
          .slash()
          .x(5)
          .text("ERROR RETURN FROM MIRAX  DUE TO AN UPHILL")
          .text(" SEARCH DIRECTION")
          .slash()
          .x(5)
          .text("USUALLY THIS IS DUE TO LOSS OF")
          .text(" ACCURACY IN THE QUADRATIC PROGRAMMING CALCULATION")
          .end();
      qp_error_message();
      break;
    case 6:
      qp_error_message();
      break;
    default:
      break;
  }
}

void elastic_step(double rho, double theta0, double theta1) {
  blank_line();
  text("*** MIRAX, ELASTIC STEP (ROBUST STRATEGY)");
  labelled("  RHO = ", rho);
  labelled("  LINEARISED VIOLATION BEFORE = ", theta0);
  labelled("  LINEARISED VIOLATION AFTER  = ", theta1);
}

void locally_infeasible_message(int iter) {
  io::Formatted(kUnit)
      .slash()
      .x(5)
      .text("ERROR RETURN FROM MIRAX: LOCALLY INFEASIBLE AT ITERATION")
      .i(5, iter)
      .end();
}

void unbounded_message(int iter) {
  io::Formatted(kUnit)
      .slash()
      .x(5)
      .text("ERROR RETURN FROM MIRAX: PROBLEM UNBOUNDED AT ITERATION")
      .i(5, iter)
      .end();
}

void final_block_note() {
  io::Formatted(kUnit)
      .slash()
      .x(5)
      .text("THE PRINTING OF THE LAST ITERATION GIVES THE")
      .text(" VALUES THAT ARE RETURNED BY SUBROUTINE MIRAX ")
      .end();
}

void scratch_warning(int unit) {
  io::Formatted(kUnit)
      .slash()
      .text(" *** WARNING ***  OPTIMIZER - MIRAX2")
      .slash()
      .x(18)
      .text("UNABLE TO OPEN SCRATCH FILE ON UNIT")
      .i(4, unit)
      .slash()
      .end();
}

}  // namespace listing
}  // namespace vek::engine
