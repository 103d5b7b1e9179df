// Misuse that must not compile: a callback handed to talvir::Functions in another role's place. Built by
// ctest with -DMISUSE=n: 0 is the right use (it must compile, so a failure below is the misuse and not
// the set-up); 1 and 2 must fail.
#include "talvir/talvir.hpp"

int main() {
  using X = talvir::View<const double>;
  const auto objective = [](X x) { return x[0] * x[0]; };
  const auto gradient = [](X x, talvir::Gradient g) { g[0] = 2 * x[0]; };
  const auto constraints = [](X x, talvir::ConstraintValues c) { c[0] = x[0] - 1; };
  const auto jacobian = [](X, talvir::JacobianValues v) { v[0] = 1; };
#if MISUSE == 0
  talvir::Functions fs{objective, constraints, gradient, jacobian, {}};  // the order of talvir_callbacks
#elif MISUSE == 1
  talvir::Functions fs{objective, gradient, constraints, jacobian, {}};  // the old wrapper's order
#elif MISUSE == 2
  talvir::Functions fs;
  fs.constraints = gradient;
#endif
  (void)fs;
  return 0;
}
