/* hs071 through the TALVIR C API, with the callback driver.
 *
 *   minimise   x0 x3 (x0 + x1 + x2) + x2
 *   subject to x0 x1 x2 x3 >= 25,  x0^2 + x1^2 + x2^2 + x3^2 = 40,  1 <= x <= 5,
 *   from x = (1, 5, 5, 1); the optimum is f = 17.014017 at (1, 4.743, 3.821, 1.379).
 *
 * Prints the ending, f, x and the multipliers; exits with 0 when the solve converged. */
#include <stdio.h>

#include "talvir/talvir.h"

static int objective(int n, const double* x, double* f, void* user) {
  (void)n;
  (void)user;
  *f = x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2];
  return TALVIR_CALLBACK_OK;
}

static int gradient(int n, const double* x, double* g, void* user) {
  (void)n;
  (void)user;
  g[0] = x[3] * (2.0 * x[0] + x[1] + x[2]);
  g[1] = x[0] * x[3];
  g[2] = x[0] * x[3] + 1.0;
  g[3] = x[0] * (x[0] + x[1] + x[2]);
  return TALVIR_CALLBACK_OK;
}

/* c0 = x0 x1 x2 x3 - 25 >= 0, c1 = |x|^2 - 40 = 0 */
static int constraints(int n, int m, const double* x, double* c, void* user) {
  (void)n;
  (void)m;
  (void)user;
  c[0] = x[0] * x[1] * x[2] * x[3] - 25.0;
  c[1] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3] - 40.0;
  return TALVIR_CALLBACK_OK;
}

/* The dense Jacobian, row by row: values[j*n + i] = d c_j / d x_i. */
static int jacobian(int n, int m, int nnz, const double* x, double* values, void* user) {
  int i;
  (void)m;
  (void)nnz;
  (void)user;
  values[0] = x[1] * x[2] * x[3];
  values[1] = x[0] * x[2] * x[3];
  values[2] = x[0] * x[1] * x[3];
  values[3] = x[0] * x[1] * x[2];
  for (i = 0; i < n; ++i) values[n + i] = 2.0 * x[i];
  return TALVIR_CALLBACK_OK;
}

static int check(talvir_solver* s, int status, const char* what) {
  const char* text = "";
  if (status == TALVIR_OK) return 0;
  if (s != NULL) talvir_get_error_message(s, &text);
  fprintf(stderr, "%s failed with status %d: %s\n", what, status, text);
  return 1;
}

int main(void) {
  const int kinds[2] = {TALVIR_GREATER_EQUAL, TALVIR_EQUAL};
  const double lower[4] = {1.0, 1.0, 1.0, 1.0}, upper[4] = {5.0, 5.0, 5.0, 5.0};
  const double start[4] = {1.0, 5.0, 5.0, 1.0};
  double x[4], lambda[2], f = 0.0;
  const char* message = "";
  int ending = TALVIR_ENDING_NONE, iterations = 0, i;
  talvir_solver* s = NULL;

  if (check(NULL, talvir_create(4, 2, kinds, &s), "talvir_create")) return 2;
  if (check(s, talvir_set_bounds(s, lower, upper), "talvir_set_bounds") ||
      check(s, talvir_set_start(s, start), "talvir_set_start") ||
      check(s, talvir_set_real_parameter(s, "OptTol", 1e-8), "talvir_set_real_parameter") ||
      check(s, talvir_solve(s, objective, constraints, gradient, jacobian, NULL), "talvir_solve")) {
    talvir_free(s);
    return 2;
  }
  talvir_get_ending(s, &ending);
  talvir_get_ending_message(s, &message);
  talvir_get_objective(s, &f);
  talvir_get_x(s, x);
  talvir_get_multipliers(s, lambda);
  talvir_get_iterations(s, &iterations);
  printf("%s\nf = %.8f after %d iterations\nx =", message, f, iterations);
  for (i = 0; i < 4; ++i) printf(" %.7f", x[i]);
  printf("\nlambda = %.7f %.7f  (L = f - sum lambda_j c_j)\n", lambda[0], lambda[1]);
  talvir_free(s);
  return ending == TALVIR_ENDING_CONVERGED ? 0 : 1;
}
