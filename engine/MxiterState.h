// MxiterState: everything the SQP iteration keeps from one engine call to the next.
//
// MIRAX uses one process-wide record (mirax_process_state()); a caller that wants several solutions in
// progress at once gives each its own record through the MIRAX overload that takes one. A solution
// begins with INF = 0, which resets the record except `hessian`; nothing else about the engine persists
// between calls.
#pragma once

namespace vek::engine {

// Where the next call resumes. With `start_solution` only INF = 0 is accepted.
enum class Resume {
  start_solution,        // no solution in progress: the next call must start one (INF = 0)
  continue_line_search,  // the engine asked for F and C at a trial point (INF = -1)
  update_hessian,        // the engine accepted a step and asked for G and A there (INF = -2)
  restart_iteration,     // the robust strategy asked for F and C at the current point (INF = -1)
};

// How the iteration meets the points where the documented method stops (engine/robust.h).
enum class Strategy {
  faithful,  // the documented method, exactly
  robust,    // identical until the documented method would stop, then it carries on
};

// What the robust strategy keeps within one solution.
struct RobustState {
  int recovered_at = 0;   // the iteration in which B was last restarted after an ending 3 or 4 (0: never)
  int restarts_here = 0;  // restarts in that iteration
  int recoveries = 0;     // B restarts after an ending 3 or 4 in this solution
  int pending_code = 0;   // the ending given up for the restart (3 or 4)
  bool awaiting_values = false;     // F and C at the line search's start were asked for (INF = -1)
  double rho = 0.0;                 // the elastic weight, kept from one elastic step to the next
  int elastic_steps = 0;            // elastic steps in this solution
  bool locally_infeasible = false;  // the ending 6 is a point where the violation cannot be reduced
  int escapes = 0;                  // escape steps taken in this solution
  int elastic_at = 0;               // the iteration of the latest elastic step
  double elastic_theta0 = 0.0;      // its linearised violation before the step
  double elastic_theta1 = 0.0;      // and after it
  double start_f = 0.0;             // F at the start point
  double start_size = 0.0;          // max |X(i)| at the start point
  double start_gradient = 0.0;      // max |G(i)| at the start point
  bool escaping = false;            // the values at an escape step's point were asked for (INF = -1)
};

// The workspace whose B and penalty weights a warm start (D(N+1) >= 1e30) of this record may use: the
// B segment of the VF (with its sizes N and M) in which a solution of this record initialised B, or
// which the caller declared filled with mirax_hessian_supplied. Empty until then.
struct HessianOwner {
  const double* B = nullptr;
  int N = 0;
  int M = 0;
};

struct MxiterState {
  int ITER = 0;            // iteration counter
  int NCALL = 0;           // calls that supplied values ("CALLS OF MIRAX")
  int NCALL0 = 0;          // NCALL when the current line search began
  int NPRINT = 0;          // next iteration whose block is listed
  double PHIMIN = 1.0e30;  // least primary penalty at the start of an accepted line search
  double PHI0 = 0.0;       // primary penalty at the start of the current line search
  double PSI0 = 0.0;       // secondary penalty at the start of the current line search
  double DPHI = 0.0;       // derivative of the primary penalty along the current step D
  double ALPHA = 0.0;      // latest step factor
  Resume resume = Resume::start_solution;
  int restarted_at = 0;    // the iteration whose non-stationary point restarted B (0: none yet)
  bool unbounded = false;  // the ending 6 is an unbounded problem, not an inconsistent linearisation
  RobustState robust;
  Strategy strategy = Strategy::faithful;  // set by the caller; kept when a solution starts
  HessianOwner hessian;                    // kept when a solution starts
};

// A caller that fills B and the weights of VF itself (N variables, M constraints, LWVF at least the
// minimum) declares them here, so that the next warm start of `state` with this VF uses them.
void mirax_hessian_supplied(MxiterState& state, double* VF, int N, int M);

// The record behind the MIRAX overload without an explicit state.
MxiterState& mirax_process_state();

}  // namespace vek::engine
