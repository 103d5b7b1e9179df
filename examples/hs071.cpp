// hs071 through the TALVIR C++ wrapper (talvir/talvir.hpp), with the callback driver.
//
//   minimise   x0 x3 (x0 + x1 + x2) + x2
//   subject to x0 x1 x2 x3 >= 25,  x0^2 + x1^2 + x2^2 + x3^2 = 40,  1 <= x <= 5,
//   from x = (1, 5, 5, 1); the optimum is f = 17.014017 at (1, 4.743, 3.821, 1.379).
//
// The Jacobian is given sparse (all eight entries here, in the order of the structure). Prints the
// result; exits with 0 when the solve converged.
#include <cstdio>
#include <vector>

#include "talvir/talvir.hpp"

int main() {
  using View = talvir::View<const double>;
  try {
    talvir::Solver solver(4, 2, {TALVIR_GREATER_EQUAL, TALVIR_EQUAL});
    solver.set_bounds(std::vector<double>(4, 1.0), std::vector<double>(4, 5.0))
        .set_start(std::vector<double>{1.0, 5.0, 5.0, 1.0})
        .set_jacobian_structure(std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1},
                                std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3})
        .set("OptTol", 1e-8);
    talvir::Functions functions;
    functions.objective = [](View x) { return x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2]; };
    functions.constraints = [](View x, talvir::ConstraintValues c) {
      c[0] = x[0] * x[1] * x[2] * x[3] - 25.0;
      c[1] = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] + x[3] * x[3] - 40.0;
    };
    functions.gradient = [](View x, talvir::Gradient g) {
      g[0] = x[3] * (2.0 * x[0] + x[1] + x[2]);
      g[1] = x[0] * x[3];
      g[2] = x[0] * x[3] + 1.0;
      g[3] = x[0] * (x[0] + x[1] + x[2]);
    };
    functions.jacobian = [](View x, talvir::JacobianValues jac) {
      jac[0] = x[1] * x[2] * x[3];
      jac[1] = x[0] * x[2] * x[3];
      jac[2] = x[0] * x[1] * x[3];
      jac[3] = x[0] * x[1] * x[2];
      for (int i = 0; i < 4; ++i) jac[4 + i] = 2.0 * x[i];
    };
    const talvir::Result r = solver.solve(functions);
    std::printf("%s\nf = %.8f after %d iterations (%d function, %d derivative evaluations)\nx =",
                r.message.c_str(), r.objective, r.iterations, r.value_evaluations, r.derivative_evaluations);
    for (double xi : r.x) std::printf(" %.7f", xi);
    std::printf("\nlambda = %.7f %.7f  (L = f - sum lambda_j c_j)\n", r.multipliers[0], r.multipliers[1]);
    return r.converged() ? 0 : 1;
  } catch (const talvir::Error& e) {
    std::fprintf(stderr, "talvir: %s (status %d)\n", e.what(), e.status());
    return 2;
  }
}
