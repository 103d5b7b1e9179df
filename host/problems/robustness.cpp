// The robustness set: small problems built to meet, one class at a time, what makes the documented
// method stop without a solution (a linearisation inconsistent at the start, dependent equalities, bad
// scaling), and problems that must fail (infeasible, unbounded, undefined at the start). Not part of
// the bundled collection: robustness_problem_names() lists them and make_robustness_problem makes
// them. Each known optimum is derived in its comment.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/problems/hs_definition.h"

namespace talvir::problems {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double distance_to_half_one(const double* x) {
  return (x[0] - 0.5) * (x[0] - 0.5) + (x[1] - 1.0) * (x[1] - 1.0);
}
void distance_to_half_one_gradient(const double* x, double* g) {
  g[0] = 2.0 * (x[0] - 0.5);
  g[1] = 2.0 * (x[1] - 1.0);
}
double sum_of_squares(const double* x) {
  return x[0] * x[0] + x[1] * x[1];
}
void sum_of_squares_gradient(const double* x, double* g) {
  g[0] = 2.0 * x[0];
  g[1] = 2.0 * x[1];
}

std::vector<FixedDefinition> definitions() {
  std::vector<FixedDefinition> s;
  // x1^2 >= 1 with its gradient zero at the start x1 = 0: x* = (1, 1), f* = 0.25.
  s.push_back({"rb_vanishing",
               "a constraint gradient that vanishes at the start",
               2,
               1,
               {1},
               {},
               {},
               {0.0, 0.0},
               "0.25",
               {1.0, 1.0},
               distance_to_half_one,
               distance_to_half_one_gradient,
               [](const double* x, double* c) { c[0] = x[0] * x[0] - 1.0; },
               [](const double* x, JacobianView a) { a(0, 0) = 2.0 * x[0]; }});
  // Two unit circles, centres 1.5 apart, as equalities; at (0.75, 0) their tangents are parallel and
  // apart. min (x2 - 1)^2: x* = (0.75, sqrt(0.4375)), f* = (1 - sqrt(0.4375))^2.
  s.push_back({"rb_spheres",
               "two circle equalities whose tangents at the start do not meet",
               2,
               2,
               {0, 0},
               {},
               {},
               {0.75, 0.0},
               "0.11462434",
               {0.75, std::sqrt(0.4375)},
               [](const double* x) { return (x[1] - 1.0) * (x[1] - 1.0); },
               [](const double* x, double* g) { g[1] = 2.0 * (x[1] - 1.0); },
               [](const double* x, double* c) {
                 c[0] = x[0] * x[0] + x[1] * x[1] - 1.0;
                 c[1] = (x[0] - 1.5) * (x[0] - 1.5) + x[1] * x[1] - 1.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 2.0 * x[0], a(0, 1) = 2.0 * x[1];
                 a(1, 0) = 2.0 * (x[0] - 1.5), a(1, 1) = 2.0 * x[1];
               }});
  // x1 + x2 = 1 and x1 x2 <= -2, whose gradient vanishes at the start 0. On the line f = 2 (x1 - 1)^2
  // and x1 x2 <= -2 means x1 >= 2 or x1 <= -1: x* = (2, -1), f* = 2.
  s.push_back({"rb_line_and_hyperbola",
               "a nonlinear inequality against a linear equality, linearised",
               2,
               2,
               {0, -1},
               {},
               {},
               {0.0, 0.0},
               "2",
               {2.0, -1.0},
               [](const double* x) { return (x[0] - 1.0) * (x[0] - 1.0) + x[1] * x[1]; },
               [](const double* x, double* g) { g[0] = 2.0 * (x[0] - 1.0), g[1] = 2.0 * x[1]; },
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] - 1.0;
                 c[1] = x[0] * x[1] + 2.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 1.0, a(0, 1) = 1.0;
                 a(1, 0) = x[1], a(1, 1) = x[0];
               }});
  // x1 + x2 = 1 written twice: x* = (0.5, 0.5), f* = 0.5.
  s.push_back({"rb_repeated_row",
               "an equality constraint repeated",
               2,
               2,
               {0, 0},
               {},
               {},
               {3.0, -1.0},
               "0.5",
               {0.5, 0.5},
               sum_of_squares,
               sum_of_squares_gradient,
               [](const double* x, double* c) { c[0] = c[1] = x[0] + x[1] - 1.0; },
               [](const double*, JacobianView a) { a(0, 0) = a(0, 1) = a(1, 0) = a(1, 1) = 1.0; }});
  // Three consistent linear equalities of rank two (the third is the sum of the others): x1 = x2 = t,
  // x3 = 3 - 2t, f = 2t^2 + (3 - 2t)^2 is least at t = 1: x* = (1, 1, 1), f* = 3.
  s.push_back({"rb_rank_deficient",
               "three linear equalities of rank two",
               3,
               3,
               {0, 0, 0},
               {},
               {},
               {2.0, 0.0, 0.0},
               "3",
               {1.0, 1.0, 1.0},
               [](const double* x) { return x[0] * x[0] + x[1] * x[1] + x[2] * x[2]; },
               [](const double* x, double* g) { g[0] = 2.0 * x[0], g[1] = 2.0 * x[1], g[2] = 2.0 * x[2]; },
               [](const double* x, double* c) {
                 c[0] = x[0] + x[1] + x[2] - 3.0;
                 c[1] = x[0] - x[1];
                 c[2] = 2.0 * x[0] + x[2] - 3.0;
               },
               [](const double*, JacobianView a) {
                 a(0, 0) = a(0, 1) = a(0, 2) = 1.0;
                 a(1, 0) = 1.0, a(1, 1) = -1.0;
                 a(2, 0) = 2.0, a(2, 2) = 1.0;
               }});
  // Must fail: the unit disc and x1 + x2 >= 3 do not meet (the least violation is at (1, 1)/sqrt(2)).
  s.push_back({"rb_infeasible",
               "a disc and a half-plane that do not meet",
               2,
               2,
               {-1, 1},
               {},
               {},
               {0.5, 0.0},
               "",
               {},
               [](const double* x) { return x[0] + x[1]; },
               [](const double*, double* g) { g[0] = g[1] = 1.0; },
               [](const double* x, double* c) {
                 c[0] = x[0] * x[0] + x[1] * x[1] - 1.0;
                 c[1] = x[0] + x[1] - 3.0;
               },
               [](const double* x, JacobianView a) {
                 a(0, 0) = 2.0 * x[0], a(0, 1) = 2.0 * x[1];
                 a(1, 0) = a(1, 1) = 1.0;
               }});
  // Must fail: min -(x1^2 + x2^2) on the line x1 + x2 = 1, unbounded below.
  s.push_back({"rb_unbounded_quadratic",
               "a concave objective on a line",
               2,
               1,
               {0},
               {},
               {},
               {1.0, 0.5},
               "",
               {},
               [](const double* x) { return -sum_of_squares(x); },
               [](const double* x, double* g) { g[0] = -2.0 * x[0], g[1] = -2.0 * x[1]; },
               [](const double* x, double* c) { c[0] = x[0] + x[1] - 1.0; },
               [](const double*, JacobianView a) { a(0, 0) = a(0, 1) = 1.0; }});
  // Must fail: min x1 - 3 with x1 free, unbounded below.
  s.push_back({"rb_unbounded_linear",
               "a linear objective, free variable",
               1,
               0,
               {},
               {},
               {},
               {0.0},
               "",
               {},
               [](const double* x) { return x[0] - 3.0; },
               [](const double*, double* g) { g[0] = 1.0; },
               nullptr,
               nullptr});
  // Must fail: log(x1) at the start x1 = -1 is not a number.
  s.push_back({"rb_undefined",
               "an objective undefined at the start",
               2,
               0,
               {},
               {},
               {},
               {-1.0, 0.0},
               "",
               {},
               [](const double* x) { return std::log(x[0]) + x[1] * x[1]; },
               [](const double* x, double* g) { g[0] = 1.0 / x[0], g[1] = 2.0 * x[1]; },
               nullptr,
               nullptr});
  return s;
}

// A bundled problem with its objective multiplied by `objective` and constraint j by `rows[j]` (the
// optimum multiplied alike): the same solution, badly scaled.
class ScaledProblem final : public TestProblem {
 public:
  ScaledProblem(std::string name, std::unique_ptr<TestProblem> base, double objective,
                std::vector<double> rows)
      : name_(std::move(name)), base_(std::move(base)), objective_(objective), rows_(std::move(rows)) {}
  std::string name() const override { return name_; }
  std::string description() const override { return base_->description() + ", scaled"; }
  int n() const override { return base_->n(); }
  int m() const override { return base_->m(); }
  int kind(int j) const override { return base_->kind(j); }
  void bounds(double* xl, double* xu) const override { base_->bounds(xl, xu); }
  void start(double* x) const override { base_->start(x); }
  double objective(const double* x) const override { return objective_ * base_->objective(x); }
  void gradient(const double* x, double* g) const override {
    base_->gradient(x, g);
    for (int i = 0; i < n(); ++i) g[i] *= objective_;
  }
  void constraints(const double* x, double* c) const override {
    base_->constraints(x, c);
    for (int j = 0; j < m(); ++j) c[j] *= rows_[j];
  }
  void jacobian(const double* x, double* jac) const override {
    base_->jacobian(x, jac);
    for (int j = 0; j < m(); ++j)
      for (int i = 0; i < n(); ++i) jac[j * n() + i] *= rows_[j];
  }
  double known_optimum() const override { return objective_ * base_->known_optimum(); }
  double optimum_tolerance() const override { return 1e-6 * std::max(1.0, std::fabs(known_optimum())); }
  bool solution(double* x) const override { return base_->solution(x); }

 private:
  std::string name_;
  std::unique_ptr<TestProblem> base_;
  double objective_;
  std::vector<double> rows_;
};

}  // namespace

std::vector<std::string> robustness_problem_names() {
  std::vector<std::string> names;
  for (const FixedDefinition& d : definitions()) names.emplace_back(d.name);
  for (const char* scaled : {"rb_hs071_objective_1e7", "rb_hs071_objective_1e-5", "rb_hs071_rows_1e6_1e-3"})
    names.emplace_back(scaled);
  return names;
}

std::unique_ptr<TestProblem> make_robustness_problem(const std::string& name) {
  if (name == "rb_hs071_objective_1e7")
    return std::make_unique<ScaledProblem>(name, make_problem("hs071"), 1e7, std::vector<double>{1.0, 1.0});
  if (name == "rb_hs071_objective_1e-5")
    return std::make_unique<ScaledProblem>(name, make_problem("hs071"), 1e-5, std::vector<double>{1.0, 1.0});
  if (name == "rb_hs071_rows_1e6_1e-3")
    return std::make_unique<ScaledProblem>(name, make_problem("hs071"), 1.0, std::vector<double>{1e6, 1e-3});
  for (const FixedDefinition& d : definitions()) {
    if (name == d.name) return make_fixed_problem(d);
  }
  return nullptr;
}

}  // namespace talvir::problems
