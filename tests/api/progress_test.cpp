// Progress, the log, limits and interruption of a native solve: the progress callback sees the start
// point and every iteration (calls = iterations + 1, on the whole collection), a stop or an interrupt
// from it ends the solve "stopped" at the last accepted point, the time and evaluation limits end it
// with their endings, and the log has one line per iteration and a summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "host/problems/problem.h"
#include "talvir/talvir.h"

namespace {

using talvir::problems::TestProblem;

struct Watch {
  const TestProblem* p;
  std::vector<talvir_iteration> seen;
  int stop_at = -1;       // return STOP at this iteration
  int interrupt_at = -1;  // call talvir_interrupt at this iteration
  talvir_solver* s = nullptr;
  std::string log;
  int calls = 0;  // of evaluate
};

int evaluate(int request, int, int m, int, const double* x, double* f, double* c, double* g, double* jac,
             void* u) {
  const TestProblem& p = *static_cast<Watch*>(u)->p;
  ++static_cast<Watch*>(u)->calls;
  if (request & TALVIR_REQUEST_VALUES) *f = p.objective(x), m > 0 ? p.constraints(x, c) : void();
  if (request & TALVIR_REQUEST_DERIVATIVES) p.gradient(x, g), m > 0 ? p.jacobian(x, jac) : void();
  return TALVIR_CALLBACK_OK;
}

int progress(const talvir_iteration* it, void* u) {
  Watch& w = *static_cast<Watch*>(u);
  w.seen.push_back(*it);
  if (it->iteration == w.interrupt_at) talvir_interrupt(w.s);
  return it->iteration == w.stop_at ? TALVIR_CALLBACK_STOP : TALVIR_CALLBACK_OK;
}

void sink(const char* text, void* u) {
  static_cast<Watch*>(u)->log += text;
}

struct Outcome {
  int ending = 0, iterations = 0, values = 0;
};

// Solves `name` with the given parameters (name, value text), watching it.
Outcome solve(const std::string& name, Watch& w,
              const std::vector<std::pair<const char*, const char*>>& set) {
  const auto p = talvir::problems::make_problem(name);
  w.p = p.get();
  std::vector<int> kinds(p->m());
  for (int j = 0; j < p->m(); ++j) kinds[j] = p->kind(j);
  std::vector<double> xl(p->n()), xu(p->n()), x0(p->n());
  p->bounds(xl.data(), xu.data());
  p->start(x0.data());
  EXPECT_EQ(talvir_create(p->n(), p->m(), kinds.data(), &w.s), TALVIR_OK);
  talvir_set_bounds(w.s, xl.data(), xu.data());
  talvir_set_start(w.s, x0.data());
  talvir_set_progress(w.s, progress, &w);
  talvir_set_listing(w.s, sink, &w);
  for (const auto& [key, value] : set) EXPECT_EQ(talvir_set_parameter(w.s, key, value), TALVIR_OK) << key;
  talvir_callbacks cb{sizeof cb, nullptr, nullptr, nullptr, nullptr, evaluate, &w};
  EXPECT_EQ(talvir_solve_with(w.s, &cb), TALVIR_OK);
  Outcome r;
  int derivatives = 0;
  talvir_get_ending(w.s, &r.ending);
  talvir_get_iterations(w.s, &r.iterations);
  talvir_get_evaluations(w.s, &r.values, &derivatives);
  talvir_free(w.s);
  return r;
}

TEST(Progress, OneCallAtTheStartAndOnePerIterationOnTheCollection) {
  for (const std::string& name : talvir::problems::problem_names()) {
    Watch w;
    const Outcome r = solve(name, w, {});
    ASSERT_EQ(static_cast<int>(w.seen.size()), r.iterations + 1) << name;
    for (std::size_t k = 0; k < w.seen.size(); ++k) {
      EXPECT_EQ(w.seen[k].iteration, static_cast<int>(k)) << name;
      EXPECT_EQ(w.seen[k].size, sizeof(talvir_iteration));
      if (k > 0) {
        EXPECT_GE(w.seen[k].value_evaluations, w.seen[k - 1].value_evaluations) << name;
      }
    }
    EXPECT_LE(w.seen.back().value_evaluations, r.values) << name;
  }
}

TEST(Progress, StopsLimitsAndInterruptsEndWhereTheySay) {
  struct Case {
    const char* what;
    int stop_at, interrupt_at;
    std::vector<std::pair<const char*, const char*>> set;
    int ending;
    int iterations;  // -1: not checked
  };
  const Case cases[] = {
      {"progress stops at 2", 2, -1, {}, TALVIR_ENDING_STOPPED, 2},
      {"progress stops at the start", 0, -1, {}, TALVIR_ENDING_STOPPED, 0},
      {"interrupt at 1", -1, 1, {}, TALVIR_ENDING_STOPPED, 1},
      {"3 evaluations", -1, -1, {{"MaxEvaluations", "3"}}, TALVIR_ENDING_EVALUATION_LIMIT, -1},
      {"a time limit already passed", -1, -1, {{"TimeLimit", "1e-12"}}, TALVIR_ENDING_TIME_LIMIT, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Watch w;
    w.stop_at = c.stop_at;
    w.interrupt_at = c.interrupt_at;
    const Outcome r = solve("hs071", w, c.set);
    EXPECT_EQ(r.ending, c.ending);
    if (c.iterations >= 0) {
      EXPECT_EQ(r.iterations, c.iterations);
    }
    if (c.ending == TALVIR_ENDING_EVALUATION_LIMIT) {
      EXPECT_EQ(r.values, 3);
    }
  }
}

// talvir_interrupt from another thread: the progress callback of iteration 1 signals and waits until the
// other thread has interrupted, so the request lands while the solve is in progress.
std::atomic<int> phase{0};
int wait_for_interrupt(const talvir_iteration* it, void* u) {
  static_cast<Watch*>(u)->seen.push_back(*it);
  if (it->iteration != 1) return TALVIR_CALLBACK_OK;
  phase = 1;
  while (phase.load() != 2) std::this_thread::yield();
  return TALVIR_CALLBACK_OK;
}

TEST(Progress, AnInterruptFromAnotherThreadStopsTheSolve) {
  const auto p = talvir::problems::make_problem("chain", 40);
  Watch w;
  w.p = p.get();
  std::vector<int> kinds(p->m());
  for (int j = 0; j < p->m(); ++j) kinds[j] = p->kind(j);
  std::vector<double> x0(p->n());
  p->start(x0.data());
  ASSERT_EQ(talvir_create(p->n(), p->m(), kinds.data(), &w.s), TALVIR_OK);
  talvir_set_start(w.s, x0.data());
  talvir_set_progress(w.s, wait_for_interrupt, &w);
  std::thread solver([&] {
    talvir_callbacks cb{sizeof cb, nullptr, nullptr, nullptr, nullptr, evaluate, &w};
    talvir_solve_with(w.s, &cb);
  });
  while (phase.load() != 1) std::this_thread::yield();
  EXPECT_EQ(talvir_interrupt(w.s), TALVIR_OK);
  phase = 2;
  solver.join();
  int ending = 0, iterations = 0;
  talvir_get_ending(w.s, &ending);
  talvir_get_iterations(w.s, &iterations);
  EXPECT_EQ(ending, TALVIR_ENDING_STOPPED);
  EXPECT_EQ(iterations, 1);
  talvir_free(w.s);
}

// talvir_interrupt, or the time limit, while one engine call works on a long subproblem (qp at
// n = 1000, seconds per iteration): the call is cut short, so the solve ends in its first iteration at
// the start point with nothing evaluated beyond it (without the cut the engine would first ask for
// values at a trial point).
TEST(Progress, AnInterruptOrTheTimeLimitCutsALongSubproblemShort) {
  const auto p = talvir::problems::make_problem("qp", 1000);
  std::vector<int> kinds(p->m());
  for (int j = 0; j < p->m(); ++j) kinds[j] = p->kind(j);
  std::vector<double> xl(p->n()), xu(p->n()), x0(p->n()), x(p->n());
  p->bounds(xl.data(), xu.data());
  p->start(x0.data());
  for (const bool interrupt : {true, false}) {
    Watch w;
    w.p = p.get();
    ASSERT_EQ(talvir_create(p->n(), p->m(), kinds.data(), &w.s), TALVIR_OK);
    talvir_set_bounds(w.s, xl.data(), xu.data());
    talvir_set_start(w.s, x0.data());
    if (!interrupt) talvir_set_real_parameter(w.s, "TimeLimit", 0.3);
    phase = 0;
    talvir_set_progress(  // the start point's report comes just before the first engine call
        w.s, [](const talvir_iteration*, void*) { return phase = 1, TALVIR_CALLBACK_OK; }, nullptr);
    std::thread solver([&] {
      talvir_callbacks cb{sizeof cb, nullptr, nullptr, nullptr, nullptr, evaluate, &w};
      talvir_solve_with(w.s, &cb);
    });
    while (phase.load() != 1) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (interrupt) {
      EXPECT_EQ(talvir_interrupt(w.s), TALVIR_OK);
    }
    solver.join();
    int ending = 0, iterations = -1;
    talvir_get_ending(w.s, &ending);
    talvir_get_iterations(w.s, &iterations);
    talvir_get_x(w.s, x.data());
    EXPECT_EQ(ending, interrupt ? TALVIR_ENDING_STOPPED : TALVIR_ENDING_TIME_LIMIT);
    EXPECT_EQ(iterations, 1);
    EXPECT_EQ(w.calls, 1);  // the start point's values and derivatives
    for (int i = 0; i < p->n(); ++i) ASSERT_EQ(x[i], std::clamp(x0[i], xl[i], xu[i])) << i;
    talvir_free(w.s);
  }
}

TEST(Progress, TheLogHasALinePerIterationAHeaderAndASummary) {
  Watch w;
  const Outcome r = solve("hs071", w, {{"Log", "1"}});
  EXPECT_EQ(w.log.rfind(
                "iter     objective     violation   conv. sum   threshold        step  evals     time\n", 0),
            0u)
      << w.log;
  int lines = 0;
  for (char ch : w.log) lines += ch == '\n';
  EXPECT_EQ(lines, 1 + (r.iterations + 1) + 7) << w.log;  // header, iterations 0.., blank + six summary lines
  EXPECT_NE(w.log.find("\nending:       1, Converged"), std::string::npos) << w.log;
}

}  // namespace

namespace {

// hs071 with its product bound moved by 0.1% per solve, 50 solves on one handle: warm starts (each
// from the previous solve's point, Hessian and multipliers) need at least 30% fewer evaluations than
// cold ones, and end at the same optima.
struct Moved {
  double bound;
};
int moved_hs071(int request, int, int, int, const double* x, double* f, double* c, double* g, double* jac,
                void* u) {
  const double b = static_cast<Moved*>(u)->bound;
  if (request & TALVIR_REQUEST_VALUES) {
    *f = x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2];
    c[0] = x[0] * x[1] * x[2] * x[3] - b;
    c[1] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3] - 40.0;
  }
  if (request & TALVIR_REQUEST_DERIVATIVES) {
    g[0] = x[3] * (2 * x[0] + x[1] + x[2]), g[1] = x[0] * x[3], g[2] = x[0] * x[3] + 1;
    g[3] = x[0] * (x[0] + x[1] + x[2]);
    const double a[8] = {x[1] * x[2] * x[3], x[0] * x[2] * x[3], x[0] * x[1] * x[3], x[0] * x[1] * x[2],
                         2 * x[0],           2 * x[1],           2 * x[2],           2 * x[3]};
    std::copy(a, a + 8, jac);
  }
  return TALVIR_CALLBACK_OK;
}

// Modes: 0 cold, 1 warm on one handle, 2 each solve on a new handle warm-started from the one before
// (talvir_set_warm_start_from), which must repeat mode 1 exactly.
TEST(WarmStart, ASequenceOfMovedProblemsNeedsFewerEvaluations) {
  int evaluations[3] = {0, 0, 0};
  std::vector<double> optimum[3];
  const int kinds[2] = {TALVIR_GREATER_EQUAL, TALVIR_EQUAL};
  const double lower[4] = {1, 1, 1, 1}, upper[4] = {5, 5, 5, 5}, x0[4] = {1, 5, 5, 1};
  const auto create = [&] {
    talvir_solver* s = nullptr;
    EXPECT_EQ(talvir_create(4, 2, kinds, &s), TALVIR_OK);
    talvir_set_bounds(s, lower, upper);
    talvir_set_start(s, x0);
    return s;
  };
  for (const int mode : {0, 1, 2}) {
    talvir_solver* s = create();
    ASSERT_EQ(talvir_set_warm_start(s, mode == 1), TALVIR_OK);
    Moved moved{25.0};
    for (int k = 0; k < 50; ++k) {
      moved.bound = 25.0 * (1 + 0.001 * k);
      if (mode == 0) talvir_set_start(s, x0);
      if (mode == 2 && k > 0) {
        talvir_solver* next = create();
        ASSERT_EQ(talvir_set_warm_start_from(next, s), TALVIR_OK);
        talvir_free(s);
        s = next;
      }
      talvir_callbacks cb{sizeof cb, nullptr, nullptr, nullptr, nullptr, moved_hs071, &moved};
      ASSERT_EQ(talvir_solve_with(s, &cb), TALVIR_OK);
      int ending = 0, values = 0, derivatives = 0;
      talvir_get_ending(s, &ending);
      talvir_get_evaluations(s, &values, &derivatives);
      EXPECT_EQ(ending, TALVIR_ENDING_CONVERGED) << k;
      evaluations[mode] += values;
    }
    optimum[mode].resize(4);
    talvir_get_x(s, optimum[mode].data());
    talvir_free(s);
  }
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(optimum[1][i], optimum[0][i], 1e-5);
  EXPECT_EQ(optimum[2], optimum[1]);
  EXPECT_EQ(evaluations[2], evaluations[1]);
  EXPECT_LE(evaluations[1], 0.7 * evaluations[0]) << "warm " << evaluations[1] << ", cold " << evaluations[0];
  std::printf("50 moved hs071 solves: %d evaluations cold, %d warm\n", evaluations[0], evaluations[1]);
}

}  // namespace
