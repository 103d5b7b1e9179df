// Two-sided constraints and maximisation against the forms the engine sees directly: the same problem
// with its rows split by hand (c - l >= 0, u - c >= 0, c - l = 0), and min f for max -f, end at the
// same point with the multipliers the conventions say.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "talvir/talvir.hpp"

namespace {

constexpr double kNone = TALVIR_INFINITE_BOUND;

// f = (x0 - 2)^2 + (x1 - 1)^2 + 0.5 x0 x1; rows c0 = x0 + x1, c1 = x0 - x1, c2 = x0 x1.
double f(const double* x) {
  return (x[0] - 2) * (x[0] - 2) + (x[1] - 1) * (x[1] - 1) + 0.5 * x[0] * x[1];
}
void grad(const double* x, double* g) {
  g[0] = 2 * (x[0] - 2) + 0.5 * x[1];
  g[1] = 2 * (x[1] - 1) + 0.5 * x[0];
}
void rows(const double* x, double* c) {
  c[0] = x[0] + x[1], c[1] = x[0] - x[1], c[2] = x[0] * x[1];
}
void row_gradients(const double* x, double* a) {  // 3 x 2, row by row
  const double values[6] = {1, 1, 1, -1, x[1], x[0]};
  std::copy(values, values + 6, a);
}

// One solve through talvir_solve_with; `engine_row` (split form) turns the three rows into the solver's.
struct Outcome {
  std::vector<double> x, lambda;
  double f = 0;
  int ending = 0;
};
using Rows = std::function<void(const double* c, const double* a, double* out_c, double* out_jac)>;
struct User {
  double sense;
  int m;
  Rows map;
};

int evaluate(int request, int n, int m, int, const double* x, double* fx, double* c, double* g, double* jac,
             void* user) {
  const User& u = *static_cast<User*>(user);
  double c3[3], a3[6];
  rows(x, c3);
  row_gradients(x, a3);
  if (request & TALVIR_REQUEST_VALUES) *fx = u.sense * f(x);
  if (request & TALVIR_REQUEST_DERIVATIVES) {
    grad(x, g);
    for (int i = 0; i < n; ++i) g[i] *= u.sense;
  }
  if (m > 0)
    u.map(c3, a3, (request & TALVIR_REQUEST_VALUES) ? c : nullptr,
          (request & TALVIR_REQUEST_DERIVATIVES) ? jac : nullptr);
  return TALVIR_CALLBACK_OK;
}

Outcome solve(talvir_solver* s, User user) {
  const double x0[2] = {0.3, 0.2};
  EXPECT_EQ(talvir_set_start(s, x0), TALVIR_OK);
  EXPECT_EQ(talvir_set_real_parameter(s, "OptTol", 1e-10), TALVIR_OK);
  talvir_callbacks cb{sizeof cb, nullptr, nullptr, nullptr, nullptr, evaluate, &user};
  EXPECT_EQ(talvir_solve_with(s, &cb), TALVIR_OK);
  Outcome o{std::vector<double>(2), std::vector<double>(user.m)};
  talvir_get_x(s, o.x.data());
  talvir_get_multipliers(s, o.lambda.data());
  talvir_get_objective(s, &o.f);
  talvir_get_ending(s, &o.ending);
  talvir_free(s);
  return o;
}

TEST(Rows, TwoSidedRowsAndMaximisationMatchTheSplitForm) {
  struct Case {
    const char* what;
    double lower[3], upper[3];
  };
  const Case cases[] = {
      {"ranges, upper side active, a free row", {0, -1, -kNone}, {1, 1, kNone}},
      {"equality, upper only, lower only", {1, -kNone, 0.1}, {1, 0.2, kNone}},
      {"upper only, lower only, a narrow range", {-kNone, 0.5, 0.5}, {2.5, kNone, 0.6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Split by hand: per side one row c - l >= 0 or u - c >= 0, an equality c - l = 0.
    std::vector<int> kinds, source;
    std::vector<double> bound, sign;
    for (int j = 0; j < 3; ++j) {
      const bool lo = c.lower[j] > -kNone, up = c.upper[j] < kNone;
      if (lo && up && c.lower[j] == c.upper[j]) {
        kinds.push_back(TALVIR_EQUAL), source.push_back(j), bound.push_back(c.lower[j]), sign.push_back(1);
        continue;
      }
      if (lo)
        kinds.push_back(TALVIR_GREATER_EQUAL), source.push_back(j), bound.push_back(c.lower[j]),
            sign.push_back(1);
      if (up)
        kinds.push_back(TALVIR_GREATER_EQUAL), source.push_back(j), bound.push_back(c.upper[j]),
            sign.push_back(-1);
    }
    const int split_m = static_cast<int>(kinds.size());
    const Rows split = [&](const double* c3, const double* a3, double* out, double* jac) {
      for (int r = 0; r < split_m; ++r) {
        if (out) out[r] = sign[r] * (c3[source[r]] - bound[r]);
        if (jac) jac[2 * r] = sign[r] * a3[2 * source[r]], jac[2 * r + 1] = sign[r] * a3[2 * source[r] + 1];
      }
    };
    const Rows as_given = [](const double* c3, const double* a3, double* out, double* jac) {
      if (out) std::copy(c3, c3 + 3, out);
      if (jac) std::copy(a3, a3 + 6, jac);
    };
    talvir_solver *by_hand = nullptr, *ranged = nullptr, *maximised = nullptr;
    ASSERT_EQ(talvir_create(2, split_m, kinds.data(), &by_hand), TALVIR_OK);
    ASSERT_EQ(talvir_create_ranged(2, 3, c.lower, c.upper, &ranged), TALVIR_OK);
    ASSERT_EQ(talvir_create_ranged(2, 3, c.lower, c.upper, &maximised), TALVIR_OK);
    ASSERT_EQ(talvir_set_maximize(maximised, 1), TALVIR_OK);
    int m = 0, nnz = 0;
    talvir_get_sizes(ranged, nullptr, &m);
    talvir_get_jacobian_nnz(ranged, &nnz);
    EXPECT_EQ(m, 3);
    EXPECT_EQ(nnz, 6);
    const Outcome a = solve(by_hand, {1.0, split_m, split});
    const Outcome b = solve(ranged, {1.0, 3, as_given});
    const Outcome d = solve(maximised, {-1.0, 3, as_given});  // max -f
    ASSERT_EQ(a.ending, TALVIR_ENDING_CONVERGED);
    EXPECT_EQ(b.ending, TALVIR_ENDING_CONVERGED);
    EXPECT_EQ(d.ending, TALVIR_ENDING_CONVERGED);
    std::vector<double> expected(3, 0.0);  // a row's multiplier: its lower side's less its upper side's
    for (int r = 0; r < split_m; ++r) expected[source[r]] += sign[r] * a.lambda[r];
    for (int i = 0; i < 2; ++i) {
      EXPECT_NEAR(b.x[i], a.x[i], 1e-9);
      EXPECT_NEAR(d.x[i], a.x[i], 1e-9);
    }
    EXPECT_NEAR(b.f, a.f, 1e-12);
    EXPECT_NEAR(d.f, -a.f, 1e-12);
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(b.lambda[j], expected[j], 1e-7) << j;
      EXPECT_NEAR(d.lambda[j], -expected[j], 1e-7) << j;
    }
    // The C++ wrapper's form of the maximisation gives the C form's point.
    talvir::Solver wrapped = talvir::Solver::ranged(2, c.lower, c.upper);
    wrapped.set_maximize(true).set_start(std::vector<double>{0.3, 0.2}).set("OptTol", 1e-10);
    talvir::Functions fs;
    fs.evaluate = [](const talvir::Evaluation& e) {
      if (e.values()) *e.f = -f(e.x.data()), rows(e.x.data(), e.c.data());
      if (e.derivatives()) {
        grad(e.x.data(), e.g.data());
        for (double& gi : e.g) gi = -gi;
        row_gradients(e.x.data(), e.jacobian.data());
      }
    };
    EXPECT_EQ(wrapped.solve(fs).x, d.x);
  }
  const double bad_lower[1] = {2}, bad_upper[1] = {1}, nan_upper[1] = {NAN};
  talvir_solver* s = nullptr;
  EXPECT_EQ(talvir_create_ranged(2, 1, bad_lower, bad_upper, &s), TALVIR_ERROR_BAD_VALUE);
  EXPECT_EQ(talvir_create_ranged(2, 1, bad_lower, nan_upper, &s), TALVIR_ERROR_BAD_VALUE);
  EXPECT_EQ(talvir_create_ranged(2, 1, nullptr, bad_upper, &s), TALVIR_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(s, nullptr);
}

}  // namespace
