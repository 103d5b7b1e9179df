// EngineCall: the arguments of one MIRAX call as named 1-based views, handed from MIRAX to MXITER and
// on to the line search. Built by MIRAX after its argument checks (the constructor writes every field
// once, VF cut by cut_vf); it owns nothing.
#pragma once

#include "engine/workspace.h"
#include "qp/views.h"

namespace vek::engine {

struct EngineCall {
  EngineCall() = default;
  EngineCall(int n, int m, int me, int* ktype, double* x, double f, const double* g, double* c, double* a,
             int lcn, int maxit, double acc, int iprint, int* inf, double* vf_storage, double* wqp, int lwqp,
             const double* xl, const double* xu, double* d, double step, int mode, double* cvg, int maxls)
      : N(n),
        M(m),
        ME(me),
        KTYPE(ktype, m),
        X(x, n),
        F(f),
        G(g, n),
        C(c, m > 0 ? m : 1),
        A(a, lcn),
        LCN(lcn),
        MAXIT(maxit),
        ACC(acc),
        IPRINT(iprint),
        INF(inf),
        vf(cut_vf(n, m, vf_storage)),
        WQP(wqp),
        LWQP(lwqp),
        XL(xl, n),
        XU(xu, n),
        D(d, n + 1),
        STEP(step),
        MODE(mode),
        CVG(cvg),
        MAXLS(maxls) {}

  int N = 0, M = 0, ME = 0;
  qp::Vec1<int> KTYPE;  // M
  qp::Vec1<double> X;   // N
  double F = 0.0;
  qp::Vec1<const double> G;  // N
  qp::Vec1<double> C;        // max(M, 1): C(1) is the evaluation-failure signal even when M = 0
  qp::Mat1<double> A;        // LCN x M
  int LCN = 0, MAXIT = 0;
  double ACC = 0.0;
  int IPRINT = 0;
  int* INF = nullptr;
  VfSegments vf;
  double* WQP = nullptr;
  int LWQP = 0;
  qp::Vec1<const double> XL, XU;  // N
  qp::Vec1<double> D;             // N+1
  double STEP = 0.0;
  int MODE = 0;
  double* CVG = nullptr;  // 2
  int MAXLS = 0;

  bool listing() const { return IPRINT >= 0; }
};

}  // namespace vek::engine
