// The derivative checker: every bundled problem's derivatives pass at its start point, and a wrong
// gradient or Jacobian entry planted in one (or a callback that refuses) is found and reported where it
// is, with the given and estimated values.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/problems/problem.h"
#include "talvir/talvir.hpp"

namespace {

using talvir::problems::TestProblem;

struct Plant {
  int row = -2, column = 0;  // row -1: the gradient; -2: nothing planted
  bool refuse = false;       // the jacobian callback refuses
};
struct Context {
  const TestProblem* p;
  Plant plant;
  std::vector<double> jac;  // dense scratch
};
struct Found {
  int row, column;
  double given, estimated;
};

int objective(int, const double* x, double* f, void* u) {
  *f = static_cast<Context*>(u)->p->objective(x);
  return TALVIR_CALLBACK_OK;
}
int constraints(int, int, const double* x, double* c, void* u) {
  static_cast<Context*>(u)->p->constraints(x, c);
  return TALVIR_CALLBACK_OK;
}
int gradient(int n, const double* x, double* g, void* u) {
  const Context& cx = *static_cast<Context*>(u);
  cx.p->gradient(x, g);
  if (cx.plant.row == -1) g[cx.plant.column] += 1.0 + std::fabs(g[cx.plant.column]);
  (void)n;
  return TALVIR_CALLBACK_OK;
}
int jacobian(int n, int m, int, const double* x, double* values, void* u) {
  Context& cx = *static_cast<Context*>(u);
  if (cx.plant.refuse) return TALVIR_CALLBACK_CANNOT_EVALUATE;
  cx.p->jacobian(x, values);  // the dense structure, row by row
  if (cx.plant.row >= 0)
    values[cx.plant.row * n + cx.plant.column] *= 2.0, values[cx.plant.row * n + cx.plant.column] += 1.0;
  (void)m;
  return TALVIR_CALLBACK_OK;
}
void collect(int row, int column, double given, double estimated, double, void* user) {
  static_cast<std::vector<Found>*>(user)->push_back({row, column, given, estimated});
}

// Runs the checker on `name` at its start point with `plant`; the entries reported.
std::vector<Found> check(const std::string& name, const Plant& plant, int& bad) {
  const auto p = talvir::problems::make_problem(name);
  std::vector<int> kinds(p->m());
  for (int j = 0; j < p->m(); ++j) kinds[j] = p->kind(j);
  std::vector<double> x(p->n());
  p->start(x.data());
  talvir_solver* s = nullptr;
  EXPECT_EQ(talvir_create(p->n(), p->m(), kinds.data(), &s), TALVIR_OK);
  Context cx{p.get(), plant, {}};
  std::vector<Found> found;
  EXPECT_EQ(talvir_check_derivatives(s, objective, constraints, gradient, jacobian, &cx, x.data(), 1e-4,
                                     collect, &found, &bad),
            TALVIR_OK);
  talvir_free(s);
  return found;
}

TEST(Derivatives, TheBundledProblemsPassAndPlantedErrorsAreFound) {
  int passed = 0;
  for (const std::string& name : talvir::problems::problem_names()) {
    int bad = -1;
    const auto found = check(name, {}, bad);
    EXPECT_EQ(bad, 0) << name << ": first at row " << (found.empty() ? 0 : found[0].row) << " column "
                      << (found.empty() ? 0 : found[0].column);
    passed += bad == 0;
  }
  EXPECT_GT(passed, 60);
  struct Case {
    const char* problem;
    Plant plant;
    int bad;  // entries reported
  };
  const Case cases[] = {
      {"hs071", {-1, 2, false}, 1},  // the gradient's third entry
      {"hs071", {1, 3, false}, 1},   // d c_1 / d x_3
      {"hs071", {-2, 0, true}, 8},   // a jacobian callback that refuses: all eight entries unknown
  };
  for (const Case& c : cases) {
    int bad = -1;
    const auto found = check(c.problem, c.plant, bad);
    EXPECT_EQ(bad, c.bad);
    ASSERT_EQ(found.size(), static_cast<std::size_t>(c.bad));
    if (c.plant.refuse) continue;
    EXPECT_EQ(found[0].row, c.plant.row);
    EXPECT_EQ(found[0].column, c.plant.column);
    EXPECT_GT(std::fabs(found[0].given - found[0].estimated), 0.5);
  }
}

// "CheckDerivatives" runs the checker at the start point of a callback solve, to the listing sink.
TEST(Derivatives, TheParameterChecksAtTheStartOfASolve) {
  const auto p = talvir::problems::make_problem("hs071");
  const int kinds[2] = {p->kind(0), p->kind(1)};
  std::vector<double> x0(4), xl(4), xu(4);
  p->start(x0.data());
  p->bounds(xl.data(), xu.data());
  for (const Plant plant : {Plant{}, Plant{-1, 0, false}}) {
    talvir_solver* s = nullptr;
    ASSERT_EQ(talvir_create(4, 2, kinds, &s), TALVIR_OK);
    talvir_set_bounds(s, xl.data(), xu.data());
    talvir_set_start(s, x0.data());
    std::string listing;
    talvir_set_listing(
        s, [](const char* text, void* u) { *static_cast<std::string*>(u) += text; }, &listing);
    ASSERT_EQ(talvir_set_parameter(s, "CheckDerivatives", "1"), TALVIR_OK);
    Context cx{p.get(), plant, {}};
    ASSERT_EQ(talvir_solve(s, objective, constraints, gradient, jacobian, &cx), TALVIR_OK);
    const bool planted = plant.row == -1;
    EXPECT_NE(listing.find(planted ? "  gradient 0, variable 0: given" : "0 entries beyond the tolerance\n"),
              std::string::npos)
        << listing;
    EXPECT_EQ(listing.find("1 entries beyond the tolerance\n") != std::string::npos, planted) << listing;
    talvir_free(s);
  }
}

// The wrapper's forms: check_derivatives finds a planted gradient entry; set_progress counts the calls
// and stops the solve at iteration 2; interrupt() from the progress callback stops it at the next step.
TEST(Derivatives, TheWrapperChecksWatchesAndInterrupts) {
  const auto p = talvir::problems::make_problem("hs071");
  std::vector<double> x0(4), xl(4), xu(4);
  p->start(x0.data());
  p->bounds(xl.data(), xu.data());
  talvir::Functions fs;
  fs.objective = [&](talvir::View<const double> x) { return p->objective(x.data()); };
  fs.gradient = [&](talvir::View<const double> x, talvir::Gradient g) {
    p->gradient(x.data(), g.data()), g[3] += 1;
  };
  fs.constraints = [&](talvir::View<const double> x, talvir::ConstraintValues c) {
    p->constraints(x.data(), c.data());
  };
  fs.jacobian = [&](talvir::View<const double> x, talvir::JacobianValues v) {
    p->jacobian(x.data(), v.data());
  };
  talvir::Solver solver(4, 2, {p->kind(0), p->kind(1)});
  solver.set_bounds(xl, xu).set_start(x0);
  const auto found = solver.check_derivatives(fs, x0);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].row, -1);
  EXPECT_EQ(found[0].column, 3);
  for (const bool by_interrupt : {false, true}) {
    int calls = 0;
    solver.set_progress([&](const talvir_iteration& it) {
      ++calls;
      if (by_interrupt && it.iteration == 2) solver.interrupt();
      return by_interrupt || it.iteration < 2;
    });
    const talvir::Result r = solver.solve(fs);
    EXPECT_EQ(r.ending, TALVIR_ENDING_STOPPED);
    EXPECT_EQ(r.iterations, 2);
    EXPECT_EQ(calls, 3);
  }
}

}  // namespace
