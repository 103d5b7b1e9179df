// What the C API promises beyond the engine's numbers: the documented multiplier signs (checked against
// problems whose multipliers are known in closed form), "cannot evaluate here", stops and failed
// evaluations from callbacks, parameters changed during a solve, and the C++ wrapper's exceptions.
#include <gtest/gtest.h>

#include <cmath>
#include <csetjmp>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/problems/problem.h"
#include "talvir/talvir.hpp"

namespace {

using Fn = std::function<double(const double*)>;
using VecFn = std::function<void(const double*, double*)>;

// A small problem given by std::functions, solved with the C callback driver.
struct Problem {
  int n, m;
  std::vector<int> kinds;
  Fn f;
  VecFn g, c, jac;  // jac dense, row by row
  std::vector<double> lower, upper, start;
};

int objective(int, const double* x, double* f, void* user) {
  *f = static_cast<Problem*>(user)->f(x);
  return TALVIR_CALLBACK_OK;
}
int gradient(int, const double* x, double* g, void* user) {
  static_cast<Problem*>(user)->g(x, g);
  return TALVIR_CALLBACK_OK;
}
int constraints(int, int, const double* x, double* c, void* user) {
  static_cast<Problem*>(user)->c(x, c);
  return TALVIR_CALLBACK_OK;
}
int jacobian(int, int, int, const double* x, double* v, void* user) {
  static_cast<Problem*>(user)->jac(x, v);
  return TALVIR_CALLBACK_OK;
}

talvir_solver* solve(Problem& p) {
  talvir_solver* s = nullptr;
  EXPECT_EQ(talvir_create(p.n, p.m, p.kinds.data(), &s), TALVIR_OK);
  EXPECT_EQ(talvir_set_bounds(s, p.lower.empty() ? nullptr : p.lower.data(),
                              p.upper.empty() ? nullptr : p.upper.data()),
            TALVIR_OK);
  EXPECT_EQ(talvir_set_start(s, p.start.data()), TALVIR_OK);
  EXPECT_EQ(talvir_set_real_parameter(s, "OptTol", 1e-10), TALVIR_OK);
  EXPECT_EQ(
      talvir_solve(s, objective, p.m > 0 ? constraints : nullptr, gradient, p.m > 0 ? jacobian : nullptr, &p),
      TALVIR_OK);
  return s;
}

// min x0^2 + x1^2 with one linear constraint of the given kind whose multiplier is known.
Problem least_norm(int kind, double sign) {
  return {2,
          1,
          {kind},
          [](const double* x) { return x[0] * x[0] + x[1] * x[1]; },
          [](const double* x, double* g) { g[0] = 2 * x[0], g[1] = 2 * x[1]; },
          [sign](const double* x, double* c) { c[0] = sign * (x[0] + x[1] - 1); },
          [sign](const double*, double* a) { a[0] = sign, a[1] = sign; },
          {},
          {},
          {2.0, 0.0}};
}

// min (x - target)^2 with 0 <= x <= 1: the bound multiplier is 2(target - bound)... with a minus sign.
Problem bounded(double target) {
  return {1,
          0,
          {},
          [target](const double* x) { return (x[0] - target) * (x[0] - target); },
          [target](const double* x, double* g) { g[0] = 2 * (x[0] - target); },
          {},
          {},
          {0.0},
          {1.0},
          {0.5}};
}

TEST(Behaviour, MultipliersFollowTheDocumentedSigns) {
  struct Case {
    const char* what;
    Problem p;
    double lambda, z0;  // known multiplier of the constraint (if any) and of the bound of x0
  } cases[] = {
      {"c = x0 + x1 - 1 >= 0", least_norm(TALVIR_GREATER_EQUAL, 1), 1.0, 0.0},
      {"c = 1 - x0 - x1 <= 0", least_norm(TALVIR_LESS_EQUAL, -1), -1.0, 0.0},
      {"c = x0 + x1 - 1 = 0", least_norm(TALVIR_EQUAL, 1), 1.0, 0.0},
      {"c = 1 - x0 - x1 = 0", least_norm(TALVIR_EQUAL, -1), -1.0, 0.0},
      {"upper bound 1 active", bounded(3.0), 0.0, -4.0},
      {"lower bound 0 active", bounded(-2.0), 0.0, 4.0},
  };
  for (Case& k : cases) {
    SCOPED_TRACE(k.what);
    talvir_solver* s = solve(k.p);
    int ending = 0;
    talvir_get_ending(s, &ending);
    EXPECT_EQ(ending, TALVIR_ENDING_CONVERGED);
    std::vector<double> lambda(k.p.m), z(k.p.n);
    talvir_get_multipliers(s, lambda.data());
    talvir_get_bound_multipliers(s, z.data());
    if (k.p.m > 0) {
      EXPECT_NEAR(lambda[0], k.lambda, 1e-6);
    }
    EXPECT_NEAR(z[0], k.z0, 1e-6);
    talvir_free(s);
  }
}

// min (x - 1)^2 from 0, where the objective cannot be evaluated beyond x = 0.6, reported in three ways.
TEST(Behaviour, PointsThatCannotBeEvaluatedAreNeverAccepted) {
  enum class Report { code, nan, reverse_communication };
  for (Report report : {Report::code, Report::nan, Report::reverse_communication}) {
    talvir::Solver solver(1, 0);
    solver.set_start(std::vector<double>{0.0});
    std::vector<double> accepted;
    int request = solver.step();
    const talvir::Arrays a = solver.arrays();
    while (request != TALVIR_REQUEST_NONE) {
      const double x = a.x[0];
      if (request & TALVIR_REQUEST_DERIVATIVES) accepted.push_back(x);
      if (x > 0.6 && (request & TALVIR_REQUEST_VALUES)) {
        if (report == Report::nan) *a.objective = std::nan("");
        if (report != Report::nan) solver.cannot_evaluate();
      } else {
        *a.objective = (x - 1) * (x - 1);
        a.gradient[0] = 2 * (x - 1);
      }
      request = solver.step();
    }
    const talvir::Result r = solver.result();
    EXPECT_FALSE(accepted.empty());
    for (double x : accepted) EXPECT_LE(x, 0.6);
    EXPECT_LE(r.x[0], 0.6);
    EXPECT_EQ(r.objective, (r.x[0] - 1) * (r.x[0] - 1));  // the values belong to the final point
  }
}

TEST(Behaviour, StopsAndFailedEvaluationsEndCleanly) {
  struct Case {
    const char* what;
    int fail_call;  // the objective call (from 1) that answers `answer`; the gradient fails with NaN if 0
    int answer;
    int ending;
  } cases[] = {
      {"stop at the third value request", 3, TALVIR_CALLBACK_STOP, TALVIR_ENDING_STOPPED},
      {"unknown callback result", 2, 77, TALVIR_ENDING_STOPPED},
      {"cannot evaluate at the start", 1, TALVIR_CALLBACK_CANNOT_EVALUATE, TALVIR_ENDING_EVALUATION_FAILED},
      {"NaN gradient at an accepted point", 0, TALVIR_CALLBACK_OK, TALVIR_ENDING_EVALUATION_FAILED},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    struct Run {
      const Case* c;
      int calls = 0, gradients = 0, gradient_calls = 0;
      std::vector<double> last_accepted;
    } run{&k, 0, 0, 0, {}};
    const talvir_objective_fn f = [](int, const double* x, double* v, void* u) {
      auto* r = static_cast<Run*>(u);
      *v = (x[0] - 3) * (x[0] - 3) + x[1] * x[1];
      return ++r->calls == r->c->fail_call ? r->c->answer : TALVIR_CALLBACK_OK;
    };
    const talvir_gradient_fn g = [](int, const double* x, double* d, void* u) {
      auto* r = static_cast<Run*>(u);
      ++r->gradient_calls;
      r->last_accepted.assign(x, x + 2);
      d[0] = 2 * (x[0] - 3), d[1] = 2 * x[1];
      if (r->c->fail_call == 0 && ++r->gradients == 2) d[1] = std::nan("");
      return TALVIR_CALLBACK_OK;
    };
    talvir_solver* s = nullptr;
    ASSERT_EQ(talvir_create(2, 0, nullptr, &s), TALVIR_OK);
    const double x0[2] = {0.0, 1.0};
    talvir_set_start(s, x0);
    EXPECT_EQ(talvir_solve(s, f, nullptr, g, nullptr, &run), TALVIR_OK);
    int ending = 0;
    talvir_get_ending(s, &ending);
    EXPECT_EQ(ending, k.ending);
    int values = -1, derivatives = -1;  // no evaluation is counted that the callbacks did not make
    talvir_get_evaluations(s, &values, &derivatives);
    EXPECT_LE(values, run.calls);
    EXPECT_EQ(derivatives, run.gradient_calls);
    std::vector<double> x(2);
    talvir_get_x(s, x.data());
    if (k.fail_call > 1) {
      EXPECT_EQ(x, run.last_accepted);  // the last accepted point
    } else if (k.fail_call == 1) {
      EXPECT_EQ(x, std::vector<double>(x0, x0 + 2));
    }
    int request = 0;
    EXPECT_EQ(talvir_step(s, &request), TALVIR_OK);  // the handle can start again
    EXPECT_EQ(request, TALVIR_REQUEST_ALL);
    talvir_free(s);
  }
}

// A callback may stop its own solve; stepping or solving from inside a callback is refused.
TEST(Behaviour, CallbacksCannotReenterTheirSolve) {
  struct Inside {
    talvir_solver* s;
    int step_status = -1, solve_status = -1, calls = 0;
  };
  const talvir_objective_fn f = [](int, const double* x, double* v, void* u) {
    auto* in = static_cast<Inside*>(u);
    *v = x[0] * x[0];
    if (++in->calls == 2) {
      int request = 0;
      in->step_status = talvir_step(in->s, &request);
      in->solve_status = talvir_solve(in->s, nullptr, nullptr, nullptr, nullptr, nullptr);
      talvir_stop(in->s);
    }
    return TALVIR_CALLBACK_OK;
  };
  const talvir_gradient_fn g = [](int, const double* x, double* d, void*) {
    d[0] = 2 * x[0];
    return TALVIR_CALLBACK_OK;
  };
  Inside in{nullptr};
  ASSERT_EQ(talvir_create(1, 0, nullptr, &in.s), TALVIR_OK);
  const double x0[1] = {3.0};
  talvir_set_start(in.s, x0);
  EXPECT_EQ(talvir_solve(in.s, f, nullptr, g, nullptr, &in), TALVIR_OK);
  EXPECT_EQ(in.step_status, TALVIR_ERROR_OUT_OF_ORDER);
  EXPECT_NE(in.solve_status, TALVIR_OK);
  int ending = 0;
  talvir_get_ending(in.s, &ending);
  EXPECT_EQ(ending, TALVIR_ENDING_STOPPED);
  EXPECT_EQ(in.calls, 2);
  talvir_free(in.s);
}

// The listing sink may only read its solver: every other call from inside it is refused and changes
// nothing (the solve ends as it would have), and a callback may not free its own solver.
TEST(Behaviour, TheListingSinkMayOnlyReadAndNoCallbackFreesItsSolver) {
  using Call = int (*)(talvir_solver*);
  const Call calls[] = {
      [](talvir_solver* s) { return talvir_stop(s); },
      [](talvir_solver* s) {
        int request = 0;
        return talvir_step(s, &request);
      },
      [](talvir_solver* s) { return talvir_free(s); },
      [](talvir_solver* s) { return talvir_set_integer_parameter(s, "MaxIterations", 1); },
      [](talvir_solver* s) { return talvir_set_listing(s, nullptr, nullptr); },
      [](talvir_solver* s) { return talvir_cannot_evaluate(s); },
  };
  struct Sink {
    talvir_solver* s = nullptr;
    Call call = nullptr;
    int lines = 0;
    std::vector<int> statuses;
  };
  const talvir_objective_fn f = [](int, const double* x, double* v, void*) {
    *v = (x[0] - 1) * (x[0] - 1) + 100 * (x[1] - x[0] * x[0]) * (x[1] - x[0] * x[0]);
    return TALVIR_CALLBACK_OK;
  };
  const talvir_gradient_fn g = [](int, const double* x, double* d, void* u) {
    d[0] = 2 * (x[0] - 1) - 400 * x[0] * (x[1] - x[0] * x[0]);
    d[1] = 200 * (x[1] - x[0] * x[0]);
    auto* sink = static_cast<Sink*>(u);
    return sink->call == nullptr || talvir_free(sink->s) == TALVIR_ERROR_OUT_OF_ORDER ? TALVIR_CALLBACK_OK
                                                                                      : TALVIR_CALLBACK_STOP;
  };
  auto run = [&](Call call) {
    Sink sink;
    sink.call = call;
    EXPECT_EQ(talvir_create(2, 0, nullptr, &sink.s), TALVIR_OK);
    const double x0[2] = {-1.2, 1.0};
    talvir_set_start(sink.s, x0);
    talvir_set_text_parameter(sink.s, "PrintLevel", "Normal");
    talvir_set_listing(
        sink.s,
        [](const char*, void* u) {
          auto* in = static_cast<Sink*>(u);
          ++in->lines;
          if (in->call != nullptr) in->statuses.push_back(in->call(in->s));
        },
        &sink);
    EXPECT_EQ(talvir_solve(sink.s, f, nullptr, g, nullptr, &sink), TALVIR_OK);
    int ending = 0, iterations = 0;
    talvir_get_ending(sink.s, &ending);
    talvir_get_iterations(sink.s, &iterations);
    EXPECT_EQ(talvir_free(sink.s), TALVIR_OK);
    for (const int status : sink.statuses) EXPECT_EQ(status, TALVIR_ERROR_OUT_OF_ORDER);
    EXPECT_EQ(static_cast<int>(sink.statuses.size()), call != nullptr ? sink.lines : 0);
    return std::vector<int>{ending, iterations, sink.lines};
  };
  const std::vector<int> quiet = run(nullptr);
  ASSERT_EQ(quiet[0], TALVIR_ENDING_CONVERGED);
  for (const Call call : calls) {
    const std::vector<int> got = run(call);
    EXPECT_EQ(got, quiet);  // same ending, iterations and listing lines
  }
}

// A callback left by longjmp leaves its solve in progress; talvir_stop ends it and the handle solves again.
TEST(Behaviour, AfterACallbackLeftByLongjmpStopMakesTheHandleUsable) {
  static std::jmp_buf escape;
  const talvir_objective_fn f = [](int, const double* x, double* v, void* u) {
    *v = (x[0] - 2) * (x[0] - 2);
    if (u != nullptr && ++*static_cast<int*>(u) == 2) std::longjmp(escape, 1);
    return TALVIR_CALLBACK_OK;
  };
  const talvir_gradient_fn g = [](int, const double* x, double* d, void*) {
    d[0] = 2 * (x[0] - 2);
    return TALVIR_CALLBACK_OK;
  };
  talvir_solver* s = nullptr;
  ASSERT_EQ(talvir_create(1, 0, nullptr, &s), TALVIR_OK);
  int calls = 0;
  if (setjmp(escape) == 0) talvir_solve(s, f, nullptr, g, nullptr, &calls);
  int request = 0;
  EXPECT_EQ(talvir_step(s, &request), TALVIR_ERROR_OUT_OF_ORDER);  // as documented
  EXPECT_EQ(talvir_stop(s), TALVIR_OK);
  EXPECT_EQ(talvir_solve(s, f, nullptr, g, nullptr, nullptr), TALVIR_OK);
  int ending = 0;
  talvir_get_ending(s, &ending);
  EXPECT_EQ(ending, TALVIR_ENDING_CONVERGED);
  EXPECT_EQ(talvir_free(s), TALVIR_OK);
}

// Rosenbrock's function from (-1.2, 1) by reverse communication; once the solve has asked for
// derivatives `at` times, `change` sets a parameter. Returns the ending; lines counts listing lines.
int rosenbrock_changed_midway(int at, const std::function<void(talvir_solver*)>& change, int* iterations,
                              int* lines) {
  talvir_solver* s = nullptr;
  EXPECT_EQ(talvir_create(2, 0, nullptr, &s), TALVIR_OK);
  const double start[2] = {-1.2, 1.0};
  talvir_set_start(s, start);
  const auto count_line = [](const char*, void* user) { ++*static_cast<int*>(user); };
  talvir_set_listing(s, count_line, lines);
  const double* x = nullptr;
  double *f = nullptr, *g = nullptr;
  talvir_evaluation_arrays(s, &x, &f, &g, nullptr, nullptr);
  int request = TALVIR_REQUEST_NONE, derivatives = 0;
  for (talvir_step(s, &request); request != TALVIR_REQUEST_NONE; talvir_step(s, &request)) {
    *f = 100 * std::pow(x[1] - x[0] * x[0], 2) + std::pow(1 - x[0], 2);
    g[0] = -400 * x[0] * (x[1] - x[0] * x[0]) - 2 * (1 - x[0]);
    g[1] = 200 * (x[1] - x[0] * x[0]);
    if ((request & TALVIR_REQUEST_DERIVATIVES) && ++derivatives == at) {
      EXPECT_EQ(*lines, 0) << "nothing listed at \"Errors Only\"";
      change(s);
    }
  }
  int ending = 0;
  talvir_get_ending(s, &ending);
  talvir_get_iterations(s, iterations);
  talvir_free(s);
  return ending;
}

// The engine's controls are taken from the parameter records again only after a value was stored: a
// value set while a solve is in progress must still apply from the next step.
TEST(Behaviour, ParametersSetDuringASolveApplyFromTheNextStep) {
  int iterations = 0, lines = 0;
  const auto nothing = [](talvir_solver*) {};
  ASSERT_EQ(rosenbrock_changed_midway(3, nothing, &iterations, &lines), TALVIR_ENDING_CONVERGED);
  const int unchanged_iterations = iterations;
  EXPECT_GT(unchanged_iterations, 5);
  EXPECT_EQ(lines, 0);

  const auto limit = [](talvir_solver* s) {
    EXPECT_EQ(talvir_set_integer_parameter(s, "MaxIterations", 3), TALVIR_OK);
  };
  EXPECT_EQ(rosenbrock_changed_midway(3, limit, &iterations, &lines), TALVIR_ENDING_ITERATION_LIMIT);
  EXPECT_EQ(iterations, 3);

  lines = 0;
  const auto list = [](talvir_solver* s) {
    EXPECT_EQ(talvir_set_text_parameter(s, "PrintLevel", "Normal"), TALVIR_OK);
  };
  EXPECT_EQ(rosenbrock_changed_midway(3, list, &iterations, &lines), TALVIR_ENDING_CONVERGED);
  EXPECT_EQ(iterations, unchanged_iterations);
  EXPECT_GT(lines, 0) << "the listing starts with the next step";
}

TEST(Behaviour, WrapperRethrowsACallbackException) {
  talvir::Solver solver(1, 0);
  int calls = 0;
  const auto objective = [&](talvir::View<const double> x) {
    if (++calls == 2) throw std::runtime_error("model broke");
    return x[0] * x[0];
  };
  const auto gradient = [](talvir::View<const double> x, talvir::Gradient g) { g[0] = 2 * x[0]; };
  solver.set_start(std::vector<double>{1.0});
  talvir::Functions functions;
  functions.objective = objective;
  functions.gradient = gradient;
  EXPECT_THROW(solver.solve(functions), std::runtime_error);
  EXPECT_EQ(solver.result().ending, TALVIR_ENDING_STOPPED);
  EXPECT_THROW(solver.set("MaxIterations", 0), talvir::Error);
  try {
    solver.set("NoSuchThing", 1);
  } catch (const talvir::Error& e) {
    EXPECT_EQ(e.status(), TALVIR_ERROR_UNKNOWN_PARAMETER);
    EXPECT_NE(std::string(e.what()).find("NoSuchThing"), std::string::npos);
  }
}

// The four callbacks, one combined evaluate (C), and the wrapper's named roles (four, or evaluate) give
// the same solve bit for bit: the same points, counts, multipliers and ending.
TEST(Behaviour, OneCombinedEvaluationSolvesBitForBitAsTheFourCallbacks) {
  using talvir::problems::TestProblem;
  struct Run {
    std::vector<double> x, lambda;
    double f = 0;
    int ending = 0, iterations = 0, values = 0, derivatives = 0, calls = 0;
    bool operator==(const Run& o) const {
      return x == o.x && lambda == o.lambda && f == o.f && ending == o.ending && iterations == o.iterations &&
             values == o.values && derivatives == o.derivatives;
    }
  };
  struct User {
    const TestProblem* p;
    int calls;
  };
  const auto finish = [](talvir_solver* s, int n, int m, int calls) {
    Run r{std::vector<double>(n), std::vector<double>(m)};
    talvir_get_x(s, r.x.data());
    talvir_get_multipliers(s, r.lambda.data());
    talvir_get_objective(s, &r.f);
    talvir_get_ending(s, &r.ending);
    talvir_get_iterations(s, &r.iterations);
    talvir_get_evaluations(s, &r.values, &r.derivatives);
    r.calls = calls;
    talvir_free(s);
    return r;
  };
  static constexpr talvir_objective_fn objective = [](int, const double* x, double* f, void* u) {
    *f = static_cast<User*>(u)->p->objective(x);
    return ++static_cast<User*>(u)->calls, TALVIR_CALLBACK_OK;
  };
  static constexpr talvir_constraints_fn constraints = [](int, int, const double* x, double* c, void* u) {
    static_cast<User*>(u)->p->constraints(x, c);
    return ++static_cast<User*>(u)->calls, TALVIR_CALLBACK_OK;
  };
  static constexpr talvir_gradient_fn gradient = [](int, const double* x, double* g, void* u) {
    static_cast<User*>(u)->p->gradient(x, g);
    return ++static_cast<User*>(u)->calls, TALVIR_CALLBACK_OK;
  };
  static constexpr talvir_jacobian_fn jacobian = [](int, int, int, const double* x, double* jac, void* u) {
    static_cast<User*>(u)->p->jacobian(x, jac);
    return ++static_cast<User*>(u)->calls, TALVIR_CALLBACK_OK;
  };
  static constexpr talvir_evaluate_fn evaluate = [](int request, int n, int m, int, const double* x,
                                                    double* f, double* c, double* g, double* jac, void* u) {
    if (request & TALVIR_REQUEST_VALUES) objective(n, x, f, u), m > 0 && constraints(n, m, x, c, u);
    if (request & TALVIR_REQUEST_DERIVATIVES) gradient(n, x, g, u), m > 0 && jacobian(n, m, 0, x, jac, u);
    return TALVIR_CALLBACK_OK;
  };
  for (const char* name : {"hs071", "hs055", "chain", "qp"}) {
    SCOPED_TRACE(name);
    const auto p = talvir::problems::make_problem(name, std::string(name) == "chain" ? 12 : 0);
    const int n = p->n(), m = p->m();
    std::vector<int> kinds(m);
    std::vector<double> xl(n), xu(n), x0(n);
    for (int j = 0; j < m; ++j) kinds[j] = p->kind(j);
    p->bounds(xl.data(), xu.data());
    p->start(x0.data());
    const auto made = [&] {
      talvir_solver* s = nullptr;
      EXPECT_EQ(talvir_create(n, m, kinds.data(), &s), TALVIR_OK);
      talvir_set_bounds(s, xl.data(), xu.data());
      talvir_set_start(s, x0.data());
      return s;
    };
    User four{p.get(), 0}, one{p.get(), 0};
    talvir_solver* a = made();
    ASSERT_EQ(talvir_solve(a, objective, m > 0 ? constraints : nullptr, gradient, m > 0 ? jacobian : nullptr,
                           &four),
              TALVIR_OK);
    const Run by_four = finish(a, n, m, four.calls);
    talvir_solver* b = made();
    talvir_callbacks cb{sizeof cb, nullptr, nullptr, nullptr, nullptr, evaluate, &one};
    ASSERT_EQ(talvir_solve_with(b, &cb), TALVIR_OK);
    const Run by_one = finish(b, n, m, one.calls);
    EXPECT_TRUE(by_four == by_one);
    EXPECT_EQ(by_four.calls, by_one.calls) << "the same functions evaluated";
    // The wrapper: named roles, four or one.
    for (const bool combined : {false, true}) {
      talvir::Solver solver(n, m, kinds);
      solver.set_bounds(xl, xu).set_start(x0);
      talvir::Functions fs;
      if (combined) {
        fs.evaluate = [&](const talvir::Evaluation& e) {
          if (e.values())
            *e.f = p->objective(e.x.data()), m > 0 ? p->constraints(e.x.data(), e.c.data()) : void();
          if (e.derivatives())
            p->gradient(e.x.data(), e.g.data()), m > 0 ? p->jacobian(e.x.data(), e.jacobian.data()) : void();
        };
      } else {
        fs.objective = [&](talvir::View<const double> x) { return p->objective(x.data()); };
        fs.gradient = [&](talvir::View<const double> x, talvir::Gradient g) {
          p->gradient(x.data(), g.data());
        };
        if (m > 0)
          fs.constraints = [&](talvir::View<const double> x, talvir::ConstraintValues c) {
            p->constraints(x.data(), c.data());
          };
        if (m > 0)
          fs.jacobian = [&](talvir::View<const double> x, talvir::JacobianValues v) {
            p->jacobian(x.data(), v.data());
          };
      }
      const talvir::Result r = solver.solve(fs);
      EXPECT_EQ(r.x, by_four.x) << (combined ? "wrapper, evaluate" : "wrapper, four");
      EXPECT_EQ(r.value_evaluations, by_four.values);
    }
  }
  // Both forms at once, or a record too small, are refused.
  talvir_solver* s = nullptr;
  ASSERT_EQ(talvir_create(1, 0, nullptr, &s), TALVIR_OK);
  talvir_callbacks both{sizeof both, objective, nullptr, gradient, nullptr, evaluate, nullptr};
  EXPECT_EQ(talvir_solve_with(s, &both), TALVIR_ERROR_BAD_VALUE);
  talvir_callbacks small{8, nullptr, nullptr, nullptr, nullptr, evaluate, nullptr};
  EXPECT_EQ(talvir_solve_with(s, &small), TALVIR_ERROR_BAD_VALUE);
  talvir_free(s);
}

}  // namespace
