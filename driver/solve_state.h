// The solve state of a solver component: the engine's arguments and arrays, the EvaluationBlock through
// which the host delivers values, and the temporary listing file name.
//
// Every field is zero, null or empty when the component is created. The arrays are created, filled with
// zeros, at the component's first start call and reused by every later call and restart; their sizes
// (doubles unless said otherwise), with ME equalities, M constraints, N variables, K = N + 1 - ME:
//   X, G, XL, XU (N); C (M + 1); A ((M + 1)(LCN + 1)), LCN = N + 1, column j the gradient of constraint j;
//   KTYPE (M + 1 ints); D (N + 1); CVG (2); VF (LWVF = N(N + 9)/2 + 4M + 1);
//   WQP (LWQP = (3K + 7)K/2 + 4(N + 1) + 6M); the block's gradient and spare (N + 1), constraints
//   (M + 2), Jacobian values (max((M + 1)N, nnz)).
// The Jacobian index arrays belong to the host (1-based constraint and variable numbers, nnz each).
#pragma once

#include <cstdint>
#include <vector>

#include "driver/host_interfaces.h"
#include "driver/listing.h"
#include "engine/MxiterState.h"

namespace vek::driver {

struct SolveState {
  const std::int32_t* jacobian_rows = nullptr;
  const std::int32_t* jacobian_cols = nullptr;
  double convergence_ratio = 0.0;  // answered for "CVRG"
  EvaluationBlock block{};

  // Engine controls, copied from the parameter table at every call.
  double ACC = 0.0;
  std::int32_t MAXIT = 0;
  double STEP = 0.0;
  std::int32_t MAXLS = 0;
  std::int32_t INF = 0;  // the cycle flag left by the latest engine call

  std::vector<double> D, VF, WQP, CVG;
  std::vector<std::int32_t> KTYPE;
  std::int32_t IPRINT = 0, ME = 0, N = 0, M = 0, MODE = 0, LCN = 0, LWVF = 0, LWQP = 0;
  std::vector<double> X;
  double F = 0.0;
  std::vector<double> G, C, A, XL, XU;
  ListingFile listing;  // the temporary listing file and how unit 7 was connected to it

  // Storage behind the block's four pointers.
  std::vector<double> block_gradient, block_gradient_spare, block_constraints, block_jacobian;
  std::vector<std::int32_t> first_kinds;  // KTYPE as mapped at the first start call
  engine::MxiterState engine_state;       // this component's own engine record: solves of several
                                          // components may alternate (nothing else persists in the engine)
  std::int32_t nnz = 0;                   // the number of Jacobian entries the arrays were made for
  bool arrays_made = false;               // set by the first start call
  bool structure_read = false;            // bounds arrays made and Jacobian index arrays obtained
};

}  // namespace vek::driver
