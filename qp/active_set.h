// The primal active-set iteration shared by QPACT (normal mode) and QPACTR (reliable mode).
//
// Both routines solve, in the NR free variables D, min G'D + 1/2 D'HD subject to the MR scaled
// inequality rows AI(:,j)'D + C(j) >= 0, the ME elimination rows EL(k) <= -AE(:,k)'D <= EU(k) and the
// bounds DL <= D <= DU, from the feasible point D = 0. They differ in the start (empty active set and a
// Cholesky factor of H, or every variable held at zero by an artificial constraint), in the codes of
// the active list, in the drop rule and in the factor by which active slopes raise the zero
// tolerance; everything else is this one loop. Internal to the QP solver.
//
// The loop is a template on the number of free variables: SizedActiveSet<kN> with kN > 0 serves
// NR = kN only, its loops over the variables of fixed length, so that the compiler lays them out in
// full; kN = 0 (ActiveSet) serves any NR. solve_active_set runs the instance that fits NR, fixed for
// NR <= kLargestFixedSize. Every instance does the same operations in the same order.
#pragma once

#include "qp/QPACT.h"
#include "qp/views.h"

namespace vek::qp::detail {

enum class ActiveMode { normal, reliable };

// What an entry of the active list stands for.
enum class Kind { inequality, elimination, bound, artificial };

struct Constraint {
  Kind kind;
  int index;  // row j, elimination row k or variable i
};

// The 29 arguments of QPACT / QPACTR, in their order.
struct ActiveSetArgs {
  int LCN, NR, ME, MR;
  int *IACT, *IBND, *IELB, *IINE;
  double *D, *V, *UI, *DL, *EL, *DU, *EU, *C, *AE, *AI;
  const double *G, *H;
  double *GD, *W, *SE, *SI, *FE, *FI, *Q, *T;
  int IPRINT;
};

template <int kN>
class SizedActiveSet {
  static_assert(kN >= 0 && kN <= kLargestFixedSize);

 public:
  // `pass_limit` bounds the passes through the main loop (QPACT and QPACTR use qpact_pass_limit).
  // With kN > 0, a.NR must be kN.
  SizedActiveSet(ActiveMode mode, const ActiveSetArgs& a, int pass_limit);

  // Row scaling of the inequality and elimination rows (common to both starts).
  void scale_rows();
  // The start of each mode.
  void start_normal();
  void start_reliable();
  // Runs the main loop to its stopping rule and writes the results. Returns 0, or 1 when the pass
  // limit tripped (the results are then those of the last iterate, with its current multipliers).
  int run();

 private:
  enum class Step { grad, mult, drop, dir, end, correct, step, finish };

  Step grad();
  Step mult();
  Step drop();
  Step dir();
  Step end();
  Step correct();
  Step step();
  void finish();

  void rows_times(int first, int last, const double* v);
  void compute_gradient();
  void compute_multipliers();
  int choose_drop() const;
  void newton_direction();
  void ratio_test();
  double projected_gradient();
  bool stationary();
  void scan_candidates();
  void put_normal(const Constraint& c, double sign);
  bool in_active_span(int code);
  bool from_elimination(int code) const;
  bool flat_slope(int code) const;
  void set_state(int code, int state);
  void take_step();
  Constraint decode(int code) const;
  int encode(Kind kind, int index) const;
  double residual(int code) const;
  void free_constraint(int code);

  // The number of free variables: kN, or NR as given.
  int nr() const { return kN > 0 ? kN : nr_; }

  ActiveMode mode_;
  int nr_, me_, mr_, iprint_;
  Vec1<int> iact_, ibnd_, ielb_, iine_;
  Vec1<double> d_, v_, ui_, dl_, el_, du_, eu_, c_;
  Mat1<double> ae_, ai_;
  Vec1<const double> g_;
  Packed<const double> h_;
  const double* h_raw_;
  Vec1<double> gd_, w_, se_, si_, fe_, fi_;
  Mat1<double> q_;
  Factor<double> t_;
  double* t_raw_;
  double* q_raw_;
  double* w_raw_;
  double* gd_raw_;

  int q_count_ = 0;     // q, the number of active constraints
  int p_ = 1;           // pass counter: multiplier checks since the last drop
  int added_ = 1;       // code added by the last step; 0 when it added none (non-zero at the start)
  double tau_ = 1e-10;  // zero tolerance, raised by the slopes of active constraints
  double alpha_ = 1.0;  // step length of the ratio test
  double slope_ = 0.0;  // slope of the constraint it chose
  int drop_pos_ = 0;    // position chosen by MULT
  int pass_limit_;
};

// The instance for any NR.
using ActiveSet = SizedActiveSet<0>;

// Row scaling, the start of `mode`, and the main loop, by the instance that fits a.NR; returns what
// run() returns.
int solve_active_set(ActiveMode mode, const ActiveSetArgs& a, int pass_limit);

}  // namespace vek::qp::detail
