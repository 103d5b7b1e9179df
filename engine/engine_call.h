// EngineCall: the arguments of one MIRAX call as named 1-based views, handed from MIRAX to MXITER and
// on to the line search. Built by MIRAX after its argument checks; it owns nothing.
#pragma once

#include "engine/workspace.h"
#include "qp/views.h"

namespace vek::engine {

struct EngineCall {
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
