// The bundled test-problem collection: classic small nonlinear programs (Hock-Schittkowski numbering)
// with analytic derivatives, standard starting points and published optimal values, plus scalable ones.
//
// Conventions: variables and constraints are counted from 0 here; a constraint has a kind
//   0  c(x) = 0,   -1  c(x) <= 0,   +1  c(x) >= 0
// and an unbounded side of a variable is reported as -kInfinity / +kInfinity.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace talvir::problems {

inline constexpr double kInfinity = 1.0e20;

class TestProblem {
 public:
  virtual ~TestProblem() = default;
  virtual std::string name() const = 0;         // "hs071", "chain", ...
  virtual std::string description() const = 0;  // one line
  virtual int n() const = 0;
  virtual int m() const = 0;
  virtual int kind(int j) const = 0;
  virtual void bounds(double* xl, double* xu) const = 0;
  virtual void start(double* x) const = 0;
  virtual double objective(const double* x) const = 0;
  virtual void gradient(const double* x, double* g) const = 0;
  virtual void constraints(const double* x, double* c) const = 0;
  // Dense Jacobian, row-major: jac[j * n() + i] = d c_j / d x_i.
  virtual void jacobian(const double* x, double* jac) const = 0;
  // Published optimal objective value; NaN when none is known.
  virtual double known_optimum() const = 0;

  // Optional parts; the defaults suit a problem that offers none of them.
  //
  // Absolute tolerance for judging an objective value against known_optimum() (see
  // published_tolerance). NaN when no optimum is known.
  virtual double optimum_tolerance() const;
  // Writes the published solution point (n values) and returns true; false, writing nothing, when
  // none is known.
  virtual bool solution(double* x) const;
  // Sparse Jacobian structure: fills `rows` / `cols` with the 0-based (constraint, variable) pairs that
  // may be non-zero and returns true; false, writing nothing, means "treat the Jacobian as dense".
  virtual bool jacobian_structure(std::vector<int>& rows, std::vector<int>& cols) const;
};

// Names of every bundled problem, in listing order.
std::vector<std::string> problem_names();
// The named problem, or nullptr. `size` sets n for the scalable problems (0: their default) and is
// ignored by the fixed-size ones.
std::unique_ptr<TestProblem> make_problem(const std::string& name, int size = 0);
// The robustness set (not part of the collection above): problems built to meet, one class at a time,
// what makes the documented method stop, and problems that must fail; make_problem makes them too.
// Those that must fail have no known optimum (NaN).
std::vector<std::string> robustness_problem_names();
std::unique_ptr<TestProblem> make_robustness_problem(const std::string& name);
// True for the problems whose n is chosen by the caller.
bool is_scalable(const std::string& name);
// Absolute tolerance for a published value written as `text` (e.g. "17.014017"): 1e-6 max(1, |value|),
// plus half a unit in the last written digit when the text has six or more significant digits (a
// rounded value; shorter texts such as "0.25" or "-3.456" are exact).
double published_tolerance(const std::string& text);

}  // namespace talvir::problems
