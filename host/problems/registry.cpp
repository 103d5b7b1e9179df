// The collection's registry: the wrapper that turns a FixedSpec into a TestProblem, the list of
// names and the factory, and the helpers shared by every problem.
//
// problem_names()            every bundled name, fixed-size problems first, in numbering order.
// make_problem(name, size)   the named problem or nullptr (unknown name, or a scalable size below 2).
// published_tolerance(text)  the judging tolerance of a published value (see problem.h).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>

#include "host/problems/hs_spec.h"
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
  explicit FixedProblem(const FixedSpec& spec) : spec_(spec) {}
  std::string name() const override { return spec_.name; }
  std::string description() const override { return spec_.description; }
  int n() const override { return spec_.n; }
  int m() const override { return spec_.m; }
  int kind(int j) const override { return spec_.kinds[static_cast<size_t>(j)]; }
  void bounds(double* xl, double* xu) const override {
    for (int i = 0; i < spec_.n; ++i) {
      xl[i] = spec_.lower.empty() ? -kInfinity : spec_.lower[static_cast<size_t>(i)];
      xu[i] = spec_.upper.empty() ? kInfinity : spec_.upper[static_cast<size_t>(i)];
    }
  }
  void start(double* x) const override {
    for (int i = 0; i < spec_.n; ++i) x[i] = spec_.start[static_cast<size_t>(i)];
  }
  double objective(const double* x) const override { return spec_.objective(x); }
  void gradient(const double* x, double* g) const override {
    for (int i = 0; i < spec_.n; ++i) g[i] = 0.0;
    spec_.gradient(x, g);
  }
  void constraints(const double* x, double* c) const override {
    if (spec_.m > 0) spec_.constraints(x, c);
  }
  void jacobian(const double* x, double* jac) const override {
    for (int k = 0; k < spec_.m * spec_.n; ++k) jac[k] = 0.0;
    if (spec_.m > 0) spec_.jacobian(x, JacobianView{jac, spec_.n});
  }
  double known_optimum() const override { return std::strtod(spec_.optimum, nullptr); }
  double optimum_tolerance() const override { return published_tolerance(spec_.optimum); }
  bool solution(double* x) const override {
    if (spec_.solution.empty()) return false;
    for (int i = 0; i < spec_.n; ++i) x[i] = spec_.solution[static_cast<size_t>(i)];
    return true;
  }

 private:
  FixedSpec spec_;
};

const std::vector<FixedSpec>& fixed_specs() {
  static const std::vector<FixedSpec> specs = [] {
    std::vector<FixedSpec> all;
    add_hs001_to_hs024(all);
    add_hs026_to_hs045(all);
    add_hs046_to_hs066(all);
    add_hs071_to_hs083(all);
    add_hs100_to_hs113(all);
    std::sort(all.begin(), all.end(),
              [](const FixedSpec& a, const FixedSpec& b) { return std::string(a.name) < b.name; });
    return all;
  }();
  return specs;
}

}  // namespace

bool is_scalable(const std::string& name) {
  return name == "chain" || name == "qp";
}

std::vector<std::string> problem_names() {
  std::vector<std::string> names;
  for (const FixedSpec& spec : fixed_specs()) names.emplace_back(spec.name);
  names.emplace_back("chain");
  names.emplace_back("qp");
  return names;
}

std::unique_ptr<TestProblem> make_problem(const std::string& name, int size) {
  if (name == "chain") return make_chain(size == 0 ? kChainDefaultSize : size);
  if (name == "qp") return make_qp(size == 0 ? kQpDefaultSize : size);
  for (const FixedSpec& spec : fixed_specs()) {
    if (name == spec.name) return std::make_unique<FixedProblem>(spec);
  }
  return nullptr;
}

}  // namespace talvir::problems
