// The solve state: the engine's arguments and arrays for one solver, and the evaluation record through
// which a door hands the engine its values. Each door keeps one per solver (the plug-in's driver inside
// its own state, driver/solve.h; the native API in its handle, api/solver.h); the engine run
// (core/engine_run.h) works on it.
//
// Every field is zero, null or empty when the state is created. make_engine_arrays creates the arrays,
// filled with zeros, as runs of two blocks (one of doubles, one of 32-bit integers: two allocations
// for a solver, its arrays side by side); their sizes (doubles unless said otherwise), with ME
// equalities, M constraints, N variables, K = N + 1 - ME:
//   X, G (N); C (M + 1); A ((M + 1)(LCN + 1)), LCN = N + 1, column j the gradient of constraint j;
//   KTYPE (M + 1 ints); D (N + 1); CVG (2); VF (LWVF = N(N + 9)/2 + 4M + 1);
//   WQP (LWQP = (3K + 7)K/2 + 4(N + 1) + 6M); the evaluation record's gradient (N + 1), constraints
//   (M + 2) and Jacobian values (max((M + 1)N, nnz)); XL and XU (N each), which the door fills.
// The Jacobian index arrays (1-based constraint and variable numbers, nnz each) belong to the door.
// The state moves but does not copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/MxiterState.h"

namespace vek::core {

// A run of elements inside a block its owner allocated: a pointer and a length, owning nothing.
template <class T>
class Array {
 public:
  Array() = default;
  Array(T* data, std::size_t size) : data_(data), size_(size) {}
  T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() const { return data_; }
  T* end() const { return data_ + size_; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

// The next `length` elements of a block being carved into arrays; `next` moves past them.
template <class T>
Array<T> take_array(T*& next, std::size_t length) {
  const Array<T> a(next, length);
  next += length;
  return a;
}

// The values of one evaluation, written by a door and taken into the engine's arrays by
// transfer_values (core/engine_run.h).
struct EvaluationRecord {
  double objective = 0.0;     // f(x)
  Array<double> gradient;     // N + 1; df/dx_i in the first N
  Array<double> constraints;  // M + 2; c_j(x) in the first M (c_1 >= 1e30: evaluation failed)
  Array<double> jacobian;     // max((M + 1)N, nnz); the k-th is d c_row[k] / d x_col[k], k < nnz
};

struct SolveState {
  const std::int32_t* jacobian_rows = nullptr;
  const std::int32_t* jacobian_cols = nullptr;
  double convergence_ratio = 0.0;  // CVG(1) / CVG(2) x ACC after the latest engine call
  EvaluationRecord evaluation;

  // Engine controls, copied from a parameter table (set_engine_controls).
  double ACC = 0.0;
  std::int32_t MAXIT = 0;
  double STEP = 0.0;
  std::int32_t MAXLS = 0;
  std::int32_t INF = 0;  // the cycle flag left by the latest engine call

  std::unique_ptr<double[]> reals;  // the blocks of the arrays (make_engine_arrays)
  std::unique_ptr<std::int32_t[]> integers;
  Array<double> D, VF, WQP, CVG;
  Array<std::int32_t> KTYPE;
  std::int32_t IPRINT = 0, ME = 0, N = 0, M = 0, MODE = 0, LCN = 0, LWVF = 0, LWQP = 0;
  Array<double> X;
  double F = 0.0;
  Array<double> G, C, A;
  Array<double> XL, XU;

  engine::MxiterState engine_state;  // this solver's own engine record: solves of several solvers may
                                     // alternate (nothing else persists in the engine)
  std::int32_t nnz = 0;              // the number of Jacobian entries the arrays were made for
};

}  // namespace vek::core
