/* Misuse that must not compile (with -Werror=incompatible-pointer-types): a callback given for another
 * role in talvir_callbacks. -DMISUSE=0 is the right use and must compile; 1 must fail. */
#include "talvir/talvir.h"

static int objective(int n, const double* x, double* f, void* user) {
  (void)n, (void)user;
  *f = x[0];
  return TALVIR_CALLBACK_OK;
}
static int constraints(int n, int m, const double* x, double* c, void* user) {
  (void)n, (void)m, (void)user;
  c[0] = x[0];
  return TALVIR_CALLBACK_OK;
}

int main(void) {
#if MISUSE == 0
  talvir_callbacks cb = {sizeof cb, .objective = objective, .constraints = constraints};
#else
  talvir_callbacks cb = {sizeof cb, .objective = objective, .jacobian = constraints};
#endif
  (void)cb;
  return 0;
}
