// The bundled test-problem collection checked against independent oracles:
//  - every analytic gradient and Jacobian against central finite differences, at the start point and
//    at deterministic perturbed points;
//  - the published solution point reaches the published optimum and satisfies the constraints and
//    bounds (a definition that cannot reach its value at its solution point is wrong);
//  - the embedded optimum equals the value in the shared table of published optima;
//  - the declared sparse structure covers every non-zero of the dense Jacobian;
//  - the scalable problems: their optimum is a KKT point and no feasible point nearby is lower.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/problems/problem.h"

namespace talvir::problems {
namespace {

using Vec = std::vector<double>;

std::vector<std::string> fixed_names() {
  std::vector<std::string> out;
  for (const std::string& name : problem_names()) {
    if (!is_scalable(name)) out.push_back(name);
  }
  return out;
}

// All problems: the fixed ones, plus the scalable ones at two sizes each (odd and even n).
std::vector<std::unique_ptr<TestProblem>> every_instance() {
  std::vector<std::unique_ptr<TestProblem>> out;
  for (const std::string& name : problem_names()) {
    if (is_scalable(name)) {
      out.push_back(make_problem(name, 5));
      out.push_back(make_problem(name, 12));
    } else {
      out.push_back(make_problem(name));
    }
  }
  return out;
}

// A deterministic point near x: each coordinate moved by a relative amount from a fixed pattern,
// then pulled inside the bounds (where the functions are defined, e.g. logarithms of x - 2).
Vec perturbed(const TestProblem& p, const Vec& x, int which) {
  Vec xl(x.size()), xu(x.size()), y(x);
  p.bounds(xl.data(), xu.data());
  for (size_t i = 0; i < x.size(); ++i) {
    const double shift = 0.1 * std::sin(1.7 * static_cast<double>(i + 1) + 2.3 * which);
    y[i] = x[i] + shift * std::max(1.0, std::fabs(x[i]));
    if (xl[i] > -kInfinity && y[i] < xl[i]) y[i] = xl[i] + 0.01 * std::max(1.0, std::fabs(xl[i]));
    if (xu[i] < kInfinity && y[i] > xu[i]) y[i] = xu[i] - 0.01 * std::max(1.0, std::fabs(xu[i]));
  }
  return y;
}

// Central difference step for coordinate value v.
double fd_step(double v) {
  return 1e-6 * std::max(1.0, std::fabs(v));
}

void check_derivatives_at(const TestProblem& p, const Vec& x, const std::string& where) {
  const int n = p.n();
  const int m = p.m();
  Vec g(n), jac(static_cast<size_t>(m) * n), c_plus(m + 1), c_minus(m + 1);
  p.gradient(x.data(), g.data());
  p.jacobian(x.data(), jac.data());
  for (int i = 0; i < n; ++i) {
    Vec xp(x), xm(x);
    const double h = fd_step(x[i]);
    xp[i] += h;
    xm[i] -= h;
    const double fd = (p.objective(xp.data()) - p.objective(xm.data())) / (2.0 * h);
    const double scale = std::max({1.0, std::fabs(fd), std::fabs(p.objective(x.data()))});
    EXPECT_NEAR(g[i], fd, 1e-5 * scale) << p.name() << " gradient " << i << " at " << where;
    if (m == 0) continue;
    p.constraints(xp.data(), c_plus.data());
    p.constraints(xm.data(), c_minus.data());
    for (int j = 0; j < m; ++j) {
      const double fdj = (c_plus[j] - c_minus[j]) / (2.0 * h);
      EXPECT_NEAR(jac[static_cast<size_t>(j) * n + i], fdj, 1e-5 * std::max(1.0, std::fabs(fdj)))
          << p.name() << " Jacobian (" << j << ", " << i << ") at " << where;
    }
  }
}

TEST(Collection, HasAtLeastFortyClassicProblemsAndTwoScalableOnes) {
  const std::vector<std::string> names = problem_names();
  EXPECT_GE(fixed_names().size(), 40u);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "duplicate names";
  EXPECT_TRUE(is_scalable("chain"));
  EXPECT_TRUE(is_scalable("qp"));
  EXPECT_EQ(make_problem("hs999"), nullptr);
  EXPECT_EQ(make_problem("chain", 1), nullptr);
  EXPECT_EQ(make_problem("qp", -3), nullptr);
  ASSERT_NE(make_problem("chain", 7), nullptr);
  EXPECT_EQ(make_problem("chain", 7)->n(), 7);
  EXPECT_EQ(make_problem("qp", 0)->n(), 20) << "size 0 gives the default";
  for (const std::string& name : names) EXPECT_EQ(make_problem(name)->name(), name);
}

TEST(Collection, ExercisesEveryConstraintKindAndStartsOutsideBounds) {
  std::set<int> kinds;
  int outside = 0;
  for (const auto& p : every_instance()) {
    for (int j = 0; j < p->m(); ++j) {
      EXPECT_TRUE(p->kind(j) >= -1 && p->kind(j) <= 1) << p->name();
      kinds.insert(p->kind(j));
    }
    Vec x(p->n()), xl(p->n()), xu(p->n());
    p->start(x.data());
    p->bounds(xl.data(), xu.data());
    for (int i = 0; i < p->n(); ++i) {
      EXPECT_LE(xl[i], xu[i]) << p->name();
      if (x[i] < xl[i] || x[i] > xu[i]) {
        ++outside;
        break;
      }
    }
  }
  EXPECT_EQ(kinds, (std::set<int>{-1, 0, 1}));
  EXPECT_GE(outside, 2) << "the collection keeps problems whose start lies outside the bounds";
}

TEST(Collection, AnalyticDerivativesMatchCentralDifferences) {
  for (const auto& p : every_instance()) {
    Vec x(p->n());
    p->start(x.data());
    // Start points outside the bounds are first moved onto them (as the solver does), which also
    // keeps the evaluation inside the domain of logarithms and roots.
    Vec xl(p->n()), xu(p->n());
    p->bounds(xl.data(), xu.data());
    for (int i = 0; i < p->n(); ++i) x[i] = std::min(std::max(x[i], xl[i]), xu[i]);
    check_derivatives_at(*p, x, "start");
    check_derivatives_at(*p, perturbed(*p, x, 1), "perturbed start 1");
    check_derivatives_at(*p, perturbed(*p, x, 2), "perturbed start 2");
    Vec xs(p->n());
    if (p->solution(xs.data())) check_derivatives_at(*p, perturbed(*p, xs, 3), "perturbed solution");
  }
}

// Largest constraint and bound violation at x.
double violation(const TestProblem& p, const Vec& x) {
  Vec c(p.m() + 1), xl(p.n()), xu(p.n());
  p.constraints(x.data(), c.data());
  p.bounds(xl.data(), xu.data());
  double v = 0.0;
  for (int j = 0; j < p.m(); ++j) {
    if (p.kind(j) == 0) v = std::max(v, std::fabs(c[j]));
    if (p.kind(j) == 1) v = std::max(v, -c[j]);
    if (p.kind(j) == -1) v = std::max(v, c[j]);
  }
  for (int i = 0; i < p.n(); ++i) v = std::max({v, xl[i] - x[i], x[i] - xu[i]});
  return v;
}

TEST(Collection, PublishedSolutionPointsReachThePublishedOptimum) {
  int with_point = 0;
  for (const auto& p : every_instance()) {
    Vec x(p->n());
    if (!p->solution(x.data())) continue;
    ++with_point;
    const double f = p->objective(x.data());
    // Published points carry about seven digits: allow the objective error they cause, measured by
    // the gradient, on top of the judging tolerance.
    Vec g(p->n());
    p->gradient(x.data(), g.data());
    double slack = 0.0;
    for (int i = 0; i < p->n(); ++i) slack += std::fabs(g[i]) * 1e-7 * std::max(1.0, std::fabs(x[i]));
    EXPECT_NEAR(f, p->known_optimum(), p->optimum_tolerance() + slack) << p->name();
    // Each constraint likewise, with the error the rounded point causes in it.
    const int m = p->m();
    Vec c(m + 1), jac(static_cast<size_t>(m) * p->n() + 1), xl(p->n()), xu(p->n());
    p->constraints(x.data(), c.data());
    p->jacobian(x.data(), jac.data());
    p->bounds(xl.data(), xu.data());
    for (int j = 0; j < m; ++j) {
      double cslack = 1e-6;
      for (int i = 0; i < p->n(); ++i) {
        cslack += std::fabs(jac[static_cast<size_t>(j) * p->n() + i]) * 1e-7 * std::max(1.0, std::fabs(x[i]));
      }
      const double v = p->kind(j) == 0 ? std::fabs(c[j]) : std::max(0.0, -p->kind(j) * c[j]);
      EXPECT_LE(v, cslack) << p->name() << " constraint " << j;
    }
    for (int i = 0; i < p->n(); ++i) {
      EXPECT_GE(x[i], xl[i]) << p->name() << " variable " << i;
      EXPECT_LE(x[i], xu[i]) << p->name() << " variable " << i;
    }
  }
  EXPECT_GE(with_point, 40);
}

std::map<std::string, std::string> published_table() {
  std::ifstream in(std::string(TALVIR_TEST_DATA_DIR) + "/hs-optimal-values.csv");
  std::map<std::string, std::string> table;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    const size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    std::string value = line.substr(comma + 1);
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
    table[line.substr(0, comma)] = value;
  }
  return table;
}

TEST(Collection, EmbeddedOptimaEqualThePublishedTable) {
  const auto table = published_table();
  ASSERT_GT(table.size(), 100u) << "hs-optimal-values.csv not found or unreadable";
  for (const std::string& name : fixed_names()) {
    const auto it = table.find(name);
    ASSERT_NE(it, table.end()) << name << " has no published value";
    EXPECT_EQ(make_problem(name)->known_optimum(), std::stod(it->second)) << name;
  }
}

TEST(Collection, PublishedToleranceFollowsTheWrittenDigits) {
  EXPECT_DOUBLE_EQ(published_tolerance("0.0"), 1e-6);
  EXPECT_DOUBLE_EQ(published_tolerance("-3300.0"), 3.3e-3);
  EXPECT_DOUBLE_EQ(published_tolerance("0.25"), 1e-6) << "a short value is exact";
  EXPECT_DOUBLE_EQ(published_tolerance("17.014017"), 1.7014017e-5 + 0.5e-6);
  EXPECT_DOUBLE_EQ(published_tolerance("0.0325682"), 1e-6 + 0.5e-7);
}

TEST(Collection, SparseStructureCoversEveryNonZero) {
  for (const auto& p : every_instance()) {
    std::vector<int> rows, cols;
    if (!p->jacobian_structure(rows, cols)) continue;
    ASSERT_EQ(rows.size(), cols.size()) << p->name();
    std::set<std::pair<int, int>> declared;
    for (size_t k = 0; k < rows.size(); ++k) {
      EXPECT_TRUE(rows[k] >= 0 && rows[k] < p->m() && cols[k] >= 0 && cols[k] < p->n()) << p->name();
      EXPECT_TRUE(declared.insert({rows[k], cols[k]}).second) << p->name() << " repeats an entry";
    }
    Vec x(p->n()), jac(static_cast<size_t>(p->m()) * p->n());
    p->start(x.data());
    for (int which = 0; which < 3; ++which) {
      const Vec y = perturbed(*p, x, which);
      p->jacobian(y.data(), jac.data());
      for (int j = 0; j < p->m(); ++j) {
        for (int i = 0; i < p->n(); ++i) {
          if (jac[static_cast<size_t>(j) * p->n() + i] != 0.0) {
            EXPECT_TRUE(declared.count({j, i})) << p->name() << " (" << j << ", " << i << ")";
          }
        }
      }
    }
  }
}

// Least-squares multipliers for the active gradients `cols` (each n long): solves the normal
// equations by Gaussian elimination with partial pivoting. Returns the residual norm of
// g - sum_k lambda_k cols_k through `residual`.
Vec fit_multipliers(const std::vector<Vec>& cols, const Vec& g, double* residual) {
  const size_t k = cols.size();
  const size_t n = g.size();
  std::vector<Vec> a(k, Vec(k + 1, 0.0));
  for (size_t r = 0; r < k; ++r) {
    for (size_t s = 0; s < k; ++s) {
      for (size_t i = 0; i < n; ++i) a[r][s] += cols[r][i] * cols[s][i];
    }
    for (size_t i = 0; i < n; ++i) a[r][k] += cols[r][i] * g[i];
  }
  for (size_t p = 0; p < k; ++p) {
    size_t pivot = p;
    for (size_t r = p + 1; r < k; ++r) {
      if (std::fabs(a[r][p]) > std::fabs(a[pivot][p])) pivot = r;
    }
    std::swap(a[p], a[pivot]);
    for (size_t r = p + 1; r < k; ++r) {
      const double factor = a[r][p] / a[p][p];
      for (size_t s = p; s <= k; ++s) a[r][s] -= factor * a[p][s];
    }
  }
  Vec lambda(k, 0.0);
  for (size_t p = k; p-- > 0;) {
    double sum = a[p][k];
    for (size_t s = p + 1; s < k; ++s) sum -= a[p][s] * lambda[s];
    lambda[p] = sum / a[p][p];
  }
  double res = 0.0;
  for (size_t i = 0; i < n; ++i) {
    double r = g[i];
    for (size_t s = 0; s < k; ++s) r -= lambda[s] * cols[s][i];
    res += r * r;
  }
  *residual = std::sqrt(res);
  return lambda;
}

// The QP's optimum is a KKT point: the objective gradient is a combination of the active constraint
// and bound gradients with multipliers of the right signs (Lagrangian f - sum lambda_j c_j, so
// lambda >= 0 for c >= 0, lambda <= 0 for c <= 0, and >= 0 for an active lower bound); being
// strictly convex with linear constraints, that makes it the unique minimiser.
TEST(Scalable, QpOptimumIsAKktPointWithStrictMultipliers) {
  // n = 2 is left out: its optimum is a vertex with three active gradients in the plane, so its
  // multipliers are not unique (the problem is still well posed).
  for (int n : {3, 4, 7, 20}) {
    const auto p = make_problem("qp", n);
    const int m = p->m();
    Vec x(n), g(n), c(m), jac(static_cast<size_t>(m) * n), xl(n), xu(n);
    ASSERT_TRUE(p->solution(x.data()));
    p->gradient(x.data(), g.data());
    p->constraints(x.data(), c.data());
    p->jacobian(x.data(), jac.data());
    p->bounds(xl.data(), xu.data());
    EXPECT_LE(violation(*p, x), 1e-12);
    std::vector<Vec> cols;
    std::vector<int> sign;  // required sign of each multiplier; 0 for free
    for (int j = 0; j < m; ++j) {
      if (p->kind(j) != 0 && std::fabs(c[j]) > 1e-9) continue;
      cols.emplace_back(jac.begin() + static_cast<long>(j) * n, jac.begin() + static_cast<long>(j + 1) * n);
      sign.push_back(p->kind(j));
    }
    for (int i = 0; i < n; ++i) {
      if (x[i] == xl[i]) {
        cols.emplace_back(n, 0.0);
        cols.back()[i] = 1.0;
        sign.push_back(1);
      }
    }
    double residual = 0.0;
    const Vec lambda = fit_multipliers(cols, g, &residual);
    EXPECT_LT(residual, 1e-10) << "n = " << n;
    for (size_t k = 0; k < lambda.size(); ++k) {
      if (sign[k] != 0) {
        EXPECT_GT(sign[k] * lambda[k], 1e-3) << "n = " << n << ", active " << k;
      }
    }
    // Feasible points near x* along the active set's edges are not lower.
    for (int which = 0; which < 4; ++which) {
      Vec y = perturbed(*p, x, which);
      if (violation(*p, y) == 0.0) {
        EXPECT_GE(p->objective(y.data()), p->known_optimum()) << "n = " << n;
      }
    }
  }
}

}  // namespace
}  // namespace talvir::problems
