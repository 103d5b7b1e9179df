// Test driver: a small nonlinear program given by functions, and a caller of MIRAX that answers its
// requests (INF -1: F and C; INF -2: G and A) one engine call at a time, the way the solve driver does.
#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "engine/MIRAX.h"
#include "engine/MxiterState.h"

namespace engine_test {

struct Nlp {
  int n = 0;
  int m = 0;
  std::vector<int> kind;           // m
  std::vector<double> xl, xu, x0;  // n
  std::function<double(const double*)> f;
  std::function<void(const double*, double*)> g;  // n
  std::function<void(const double*, double*)> c;  // m
  // Column j (0-based) of the constraint gradients at col[j * lcn + i].
  std::function<void(const double*, double*, int)> a;
};

struct Settings {
  int maxit = 100;
  double acc = 1.0e-10;
  int iprint = -1;
  double step = 0.5;
  int mode = 0;
  int maxls = 10;
  double hessian_control = 0.0;  // D(N+1) on the start call
  bool scratch = false;          // LWQP at its minimum instead of the in-memory need
  int extra_lcn = 1;             // LCN = N + extra_lcn
};

// All arrays of one solution, owned here; the engine works in them between calls.
class MiraxRun {
 public:
  MiraxRun(const Nlp& p, const Settings& s, vek::engine::MxiterState* state = nullptr)
      : p_(p), s_(s), state_(state) {
    lcn = p.n + s.extra_lcn;
    int me = static_cast<int>(std::count(p.kind.begin(), p.kind.end(), 0));
    const int nq = p.n + 1;
    const int min_lwqp = vek::engine::mirax_min_lwqp(p.n, p.m, me);
    const int in_memory = min_lwqp + p.m + nq * p.m + nq * (nq + 1) / 2;
    lwqp = s.scratch ? min_lwqp : in_memory;
    lwvf = vek::engine::mirax_min_lwvf(p.n, p.m);
    kind = p.kind;
    kind.resize(std::max(p.m, 1));
    x = p.x0;
    g.assign(p.n, 0.0);
    c.assign(std::max(p.m, 1), 0.0);
    a.assign(static_cast<std::size_t>(lcn) * std::max(p.m, 1), 0.0);
    vf.assign(lwvf, 0.0);
    wqp.assign(lwqp, 0.0);
    d.assign(p.n + 1, 1.0);
    d[p.n] = s.hessian_control;
    evaluate_values();
    evaluate_gradients();
    inf = 0;
  }

  void evaluate_values() {
    fx = p_.f(x.data());
    if (p_.m > 0) p_.c(x.data(), c.data());
    ++value_evaluations;
  }
  void evaluate_gradients() {
    p_.g(x.data(), g.data());
    if (p_.m > 0) p_.a(x.data(), a.data(), lcn);
  }

  // One engine call, after answering the previous request.
  void call() {
    if (inf == -1) evaluate_values();
    if (inf == -2) evaluate_gradients();
    if (after_values) after_values(*this);
    if (state_ != nullptr) {
      vek::engine::MIRAX(p_.n, p_.m, kind.data(), x.data(), fx, g.data(), c.data(), a.data(), lcn, s_.maxit,
                         s_.acc, s_.iprint, inf, vf.data(), lwvf, wqp.data(), lwqp, p_.xl.data(),
                         p_.xu.data(), d.data(), s_.step, s_.mode, cvg, s_.maxls, *state_);
    } else {
      vek::engine::MIRAX(p_.n, p_.m, kind.data(), x.data(), fx, g.data(), c.data(), a.data(), lcn, s_.maxit,
                         s_.acc, s_.iprint, inf, vf.data(), lwvf, wqp.data(), lwqp, p_.xl.data(),
                         p_.xu.data(), d.data(), s_.step, s_.mode, cvg, s_.maxls);
    }
    ++calls;
  }
  bool finished() const { return inf > 0; }
  // Runs to the end (or a call limit, as a guard against an engine that never stops).
  int solve(int call_limit = 100000) {
    while (calls < call_limit) {
      call();
      if (finished()) break;
    }
    return inf;
  }
  std::vector<double> lambda() const { return std::vector<double>(vf.begin(), vf.begin() + p_.m); }

  int lcn = 0, lwvf = 0, lwqp = 0;
  std::vector<int> kind;
  std::vector<double> x, g, c, a, vf, wqp, d;
  double fx = 0.0;
  double cvg[2] = {0.0, 0.0};
  int inf = 0;
  int calls = 0;
  int value_evaluations = 0;
  // Optional hook run after the evaluation and before each engine call (to inject values).
  std::function<void(MiraxRun&)> after_values;

 private:
  Nlp p_;
  Settings s_;
  vek::engine::MxiterState* state_;
};

}  // namespace engine_test
