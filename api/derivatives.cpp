// The derivative checker talvir_check_derivatives: the caller's gradient and Jacobian entries against
// central differences of the caller's functions (contract in include/talvir/talvir.h).
#include <cmath>
#include <limits>
#include <vector>

#include "api/solver.h"

using talvir_api::fail;
using talvir_api::succeed;

namespace {

struct Functions {
  talvir_objective_fn objective;
  talvir_constraints_fn constraints;
  talvir_gradient_fn gradient;
  talvir_jacobian_fn jacobian;
  void* user;
};

struct Report {
  talvir_derivative_report_fn fn;
  void* user;
  double tolerance;
  int bad = 0;

  // Compares one entry; a NaN on either side counts as bad.
  void compare(int row, int column, double given, double estimated) {
    const double error = std::fabs(given - estimated) / std::max(1.0, std::fabs(estimated));
    if (error <= tolerance) return;  // false for NaN
    ++bad;
    if (fn != nullptr) fn(row, column, given, estimated, std::isnan(error) ? HUGE_VAL : error, user);
  }
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// While alive, the solver counts as inside one of its callbacks (afterwards as it was before): the caller's
// functions run, and from inside them the solver may not be freed, stepped or solved.
class InsideCallbacks {
 public:
  explicit InsideCallbacks(talvir_solver& s) : s_(s), was_(s.in_callback) { s.in_callback = true; }
  ~InsideCallbacks() { s_.in_callback = was_; }
  InsideCallbacks(const InsideCallbacks&) = delete;
  InsideCallbacks& operator=(const InsideCallbacks&) = delete;

 private:
  talvir_solver& s_;
  bool was_;
};

// f and c at x, or NaNs where a callback refuses or gives a non-finite value.
void values_at(const Functions& fs, int n, int m, const double* x, double& f, std::vector<double>& c) {
  if (fs.objective(n, x, &f, fs.user) != TALVIR_CALLBACK_OK) f = kNaN;
  if (m > 0 && fs.constraints(n, m, x, c.data(), fs.user) != TALVIR_CALLBACK_OK)
    std::fill(c.begin(), c.end(), kNaN);
}

// Column i of the derivatives by central differences, the step scaled to |x_i| (cube root of the
// rounding unit: the error of the difference and of the rounding then balance).
void column_estimate(const Functions& fs, int n, int m, std::vector<double>& x, int i, double& df,
                     std::vector<double>& dc) {
  const double h = std::cbrt(std::numeric_limits<double>::epsilon()) * std::max(1.0, std::fabs(x[i]));
  const double xi = x[i];
  std::vector<double> plus(m), minus(m);
  double f_plus = 0, f_minus = 0;
  x[i] = xi + h;
  values_at(fs, n, m, x.data(), f_plus, plus);
  x[i] = xi - h;
  values_at(fs, n, m, x.data(), f_minus, minus);
  x[i] = xi;
  const double width = (xi + h) - (xi - h);  // the step as represented
  df = (f_plus - f_minus) / width;
  for (int j = 0; j < m; ++j) dc[j] = (plus[j] - minus[j]) / width;
}

}  // namespace

extern "C" {

TALVIR_API int talvir_check_derivatives(talvir_solver* s, talvir_objective_fn objective,
                                        talvir_constraints_fn constraints, talvir_gradient_fn gradient,
                                        talvir_jacobian_fn jacobian, void* user, const double* x0,
                                        double tolerance, talvir_derivative_report_fn report,
                                        void* report_user, int* bad) {
  if (s == nullptr) return TALVIR_ERROR_NULL_ARGUMENT;
  const int n = s->n, m = talvir_api::caller_m(*s), nnz = talvir_api::caller_nnz(*s);
  if (objective == nullptr || gradient == nullptr ||
      (m > 0 && (constraints == nullptr || jacobian == nullptr)))
    return fail(s, TALVIR_ERROR_MISSING_CALLBACK,
                "talvir_check_derivatives: the four callbacks are needed (constraints and jacobian may be "
                "null when m = 0)");
  if (x0 == nullptr || bad == nullptr)
    return fail(s, TALVIR_ERROR_NULL_ARGUMENT, "talvir_check_derivatives: null x or bad");
  if (!(tolerance > 0) || !std::isfinite(tolerance))
    return fail(s, TALVIR_ERROR_BAD_VALUE, "talvir_check_derivatives: tolerance %g is not a positive number",
                tolerance);
  if (const int refused = talvir_api::refuse_in_listing(s, "talvir_check_derivatives")) return refused;
  return talvir_api::guarded(s, [&] {
    // The structure as it is now: a callback may set another before the entries are compared.
    std::vector<int> rows(nnz), cols(nnz);
    for (int k = 0; k < nnz; ++k) talvir_api::caller_entry(*s, k, rows[k], cols[k]);
    const InsideCallbacks inside(*s);
    const Functions fs{objective, constraints, gradient, jacobian, user};
    std::vector<double> x(x0, x0 + n), g(n, kNaN), values(std::max(nnz, 1), kNaN), df(n), dc(m);
    std::vector<std::vector<double>> columns(n, std::vector<double>(m));
    if (gradient(n, x.data(), g.data(), user) != TALVIR_CALLBACK_OK) std::fill(g.begin(), g.end(), kNaN);
    if (m > 0 && jacobian(n, m, nnz, x.data(), values.data(), user) != TALVIR_CALLBACK_OK)
      std::fill(values.begin(), values.end(), kNaN);
    for (int i = 0; i < n; ++i) column_estimate(fs, n, m, x, i, df[i], columns[i]);
    Report r{report, report_user, tolerance};
    for (int i = 0; i < n; ++i) r.compare(-1, i, g[i], df[i]);
    for (int k = 0; k < (m > 0 ? nnz : 0); ++k)
      r.compare(rows[k], cols[k], values[k], columns[cols[k]][rows[k]]);
    *bad = r.bad;
    return succeed(s);
  });
}

}  // extern "C"
