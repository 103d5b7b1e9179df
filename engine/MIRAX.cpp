// MIRAX: the engine entry. Checks the arguments on every call, cuts VF into its segments and runs
// one step of MXITER (contract in MIRAX.h).
#include "engine/MIRAX.h"

#include "engine/MXITER.h"
#include "engine/MxiterState.h"
#include "engine/engine_call.h"
#include "engine/listing.h"
#include "engine/workspace.h"

namespace vek::engine {

MxiterState& mirax_process_state() {
  static MxiterState state;  // the one record of the overload without an explicit state
  return state;
}

void mirax_hessian_supplied(MxiterState& state, double* VF, int N, int M) {
  VfSegments seg;
  const long long lwvf = mirax_min_lwvf(N, M);
  if (lwvf > 2147483647LL || !vf_segments(N, M, VF, static_cast<int>(lwvf), seg)) return;
  state.hessian = HessianOwner{seg.B.data(), N, M};
}

namespace {

// A re-entry flag must answer the engine's own last request; anything else (including -1 or -2 when
// no solution is in progress) is illegal, since the persisting record would not fit the data.
bool flag_is_legal(int inf, const MxiterState& s) {
  if (inf == 0) return true;
  if (inf == -1) return s.resume == Resume::continue_line_search || s.resume == Resume::restart_iteration;
  if (inf == -2) return s.resume == Resume::update_hessian;
  return false;
}

// Counts the equality constraints into ME; writes a message for every illegal kind (whatever IPRINT
// is). Returns false when any kind was illegal.
bool count_kinds(int M, const int* KTYPE, int& ME) {
  ME = 0;
  bool legal = true;
  for (int j = 1; j <= M; ++j) {
    const int kind = KTYPE[j - 1];
    if (kind == 0) ++ME;
    if (kind < -1 || kind > 1) {
      listing::illegal_kind(j, kind);
      legal = false;
    }
  }
  return legal;
}

}  // namespace

void MIRAX(const int& N, const int& M, int* KTYPE, double* X, const double& F, const double* G, double* C,
           double* A, const int& LCN, const int& MAXIT, const double& ACC, const int& IPRINT, int& INF,
           double* VF, const int& LWVF, double* WQP, const int& LWQP, const double* XL, const double* XU,
           double* D, const double& STEP, const int& MODE, double* CVG, const int& MAXLS) {
  MIRAX(N, M, KTYPE, X, F, G, C, A, LCN, MAXIT, ACC, IPRINT, INF, VF, LWVF, WQP, LWQP, XL, XU, D, STEP, MODE,
        CVG, MAXLS, mirax_process_state());
}

void MIRAX(const int& N, const int& M, int* KTYPE, double* X, const double& F, const double* G, double* C,
           double* A, const int& LCN, const int& MAXIT, const double& ACC, const int& IPRINT, int& INF,
           double* VF, const int& LWVF, double* WQP, const int& LWQP, const double* XL, const double* XU,
           double* D, const double& STEP, const int& MODE, double* CVG, const int& MAXLS,
           MxiterState& state) {
  if (!flag_is_legal(INF, state)) {
    if (IPRINT >= 0) listing::illegal_inf(INF);
    return;
  }
  if (N < 1 || LCN <= N || M < 0 || (MODE != 0 && MODE != 1)) {
    if (IPRINT >= 0) listing::illegal_sizes(N, M, LCN, MODE);
    INF = 8;
    state.resume = Resume::start_solution;
    return;
  }
  int ME = 0;
  if (!count_kinds(M, KTYPE, ME)) {
    INF = 9;
    state.resume = Resume::start_solution;
    return;
  }
  const long long min_lwvf = mirax_min_lwvf(N, M);
  const long long min_lwqp = mirax_min_lwqp(N, M, ME);
  if (LWQP < min_lwqp || LWVF < min_lwvf) {
    if (IPRINT >= 0) listing::short_workspace(LWVF, min_lwvf, LWQP, min_lwqp);
    INF = 7;
    state.resume = Resume::start_solution;
    return;
  }
  const EngineCall c(N, M, ME, KTYPE, X, F, G, C, A, LCN, MAXIT, ACC, IPRINT, &INF, VF, WQP, LWQP, XL, XU, D,
                     STEP, MODE, CVG, MAXLS);
  MXITER(c, state);
}

}  // namespace vek::engine
