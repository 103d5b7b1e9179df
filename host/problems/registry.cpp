// The collection's registry: the wrapper that turns a FixedDefinition into a TestProblem, the list of
// names and the factory, and the helpers shared by every problem.
//
// problem_names()            every bundled name, fixed-size problems first, in numbering order.
// make_problem(name, size)   the named problem or nullptr (unknown name, or a scalable size below 2).
// published_tolerance(text)  the judging tolerance of a published value (see problem.h).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>

#include "host/problems/hs_definition.h"
#include "host/problems/scalable.h"

namespace talvir::problems {

double TestProblem::optimum_tolerance() const {
  return std::numeric_limits<double>::quiet_NaN();
}

bool TestProblem::solution(double*) const {
  return false;
}

bool TestProblem::jacobian_structure(std::vector<int>&, std::vector<int>&) const {
  return false;
}

double published_tolerance(const std::string& text) {
  const double value = std::strtod(text.c_str(), nullptr);
  double tol = 1e-6 * std::max(1.0, std::fabs(value));
  // Count significant digits and find the weight of the last one written.
  int significant = 0;
  int decimals = 0;
  bool after_point = false;
  bool leading = true;
  for (const char ch : text) {
    if (ch == '.') {
      after_point = true;
    } else if (std::isdigit(static_cast<unsigned char>(ch))) {
      if (after_point) ++decimals;
      if (ch != '0') leading = false;
      if (!leading) ++significant;
    } else if (ch == 'e' || ch == 'E') {
      break;  // the collection's values are written without exponents
    }
  }
  if (significant >= 6) tol += 0.5 * std::pow(10.0, -decimals);
  return tol;
}

namespace {

class FixedProblem final : public TestProblem {
 public:
  explicit FixedProblem(const FixedDefinition& definition) : definition_(definition) {}
  std::string name() const override { return definition_.name; }
  std::string description() const override { return definition_.description; }
  int n() const override { return definition_.n; }
  int m() const override { return definition_.m; }
  int kind(int j) const override { return definition_.kinds[static_cast<size_t>(j)]; }
  void bounds(double* xl, double* xu) const override {
    for (int i = 0; i < definition_.n; ++i) {
      xl[i] = definition_.lower.empty() ? -kInfinity : definition_.lower[static_cast<size_t>(i)];
      xu[i] = definition_.upper.empty() ? kInfinity : definition_.upper[static_cast<size_t>(i)];
    }
  }
  void start(double* x) const override {
    for (int i = 0; i < definition_.n; ++i) x[i] = definition_.start[static_cast<size_t>(i)];
  }
  double objective(const double* x) const override { return definition_.objective(x); }
  void gradient(const double* x, double* g) const override {
    for (int i = 0; i < definition_.n; ++i) g[i] = 0.0;
    definition_.gradient(x, g);
  }
  void constraints(const double* x, double* c) const override {
    if (definition_.m > 0) definition_.constraints(x, c);
  }
  void jacobian(const double* x, double* jac) const override {
    for (int k = 0; k < definition_.m * definition_.n; ++k) jac[k] = 0.0;
    if (definition_.m > 0) definition_.jacobian(x, JacobianView{jac, definition_.n});
  }
  double known_optimum() const override {  // "" for a problem without an optimum
    return *definition_.optimum != '\0' ? std::strtod(definition_.optimum, nullptr)
                                        : std::numeric_limits<double>::quiet_NaN();
  }
  double optimum_tolerance() const override { return published_tolerance(definition_.optimum); }
  bool solution(double* x) const override {
    if (definition_.solution.empty()) return false;
    for (int i = 0; i < definition_.n; ++i) x[i] = definition_.solution[static_cast<size_t>(i)];
    return true;
  }

 private:
  FixedDefinition definition_;
};

}  // namespace

std::unique_ptr<TestProblem> make_fixed_problem(const FixedDefinition& definition) {
  return std::make_unique<FixedProblem>(definition);
}

namespace {

const std::vector<FixedDefinition>& fixed_definitions() {
  static const std::vector<FixedDefinition> definitions = [] {
    std::vector<FixedDefinition> all;
    add_hs001_to_hs024(all);
    add_hs026_to_hs045(all);
    add_hs046_to_hs066(all);
    add_hs071_to_hs083(all);
    add_hs100_to_hs113(all);
    std::sort(all.begin(), all.end(), [](const FixedDefinition& a, const FixedDefinition& b) {
      return std::string(a.name) < b.name;
    });
    return all;
  }();
  return definitions;
}

}  // namespace

bool is_scalable(const std::string& name) {
  return name == "chain" || name == "qp";
}

std::vector<std::string> problem_names() {
  std::vector<std::string> names;
  for (const FixedDefinition& definition : fixed_definitions()) names.emplace_back(definition.name);
  names.emplace_back("chain");
  names.emplace_back("qp");
  return names;
}

std::unique_ptr<TestProblem> make_problem(const std::string& name, int size) {
  if (name == "chain") return make_chain(size == 0 ? kChainDefaultSize : size);
  if (name == "qp") return make_qp(size == 0 ? kQpDefaultSize : size);
  for (const FixedDefinition& definition : fixed_definitions()) {
    if (name == definition.name) return std::make_unique<FixedProblem>(definition);
  }
  return make_robustness_problem(name);
}

}  // namespace talvir::problems
