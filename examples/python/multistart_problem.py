"""The problem both multistart examples solve: the two-dimensional Styblinski-Tang function, which has
four local minima in the box [-5, 5]^2, kept inside the disc |x|^2 <= 20 (inactive at the best point).

    f(x) = sum(x_i^4 - 16 x_i^2 + 5 x_i) / 2,   best known f = -78.33233140754284 at x_i = -2.903534...

starting_points(count, seed) -> (count, 2) array   uniform in the box, reproducible
solve_from(x0) -> scipy.optimize.OptimizeResult    one talvir.minimize solve (module-level, so that a
                                                   Dask worker can import it)
best_of(results) -> OptimizeResult                 the successful result with the lowest f
"""

import numpy as np

import talvir

BEST_KNOWN = -78.33233140754284
BOUNDS = [(-5.0, 5.0), (-5.0, 5.0)]


def objective(x):
    return 0.5 * float(np.sum(x ** 4 - 16 * x ** 2 + 5 * x))


def gradient(x):
    return 0.5 * (4 * x ** 3 - 32 * x + 5)


DISC = {"type": "ineq", "fun": lambda x: 20.0 - x @ x, "jac": lambda x: -2 * x}


def starting_points(count, seed):
    return np.random.default_rng(seed).uniform(-5.0, 5.0, size=(count, 2))


def solve_from(x0):
    return talvir.minimize(objective, x0, jac=gradient, bounds=BOUNDS, constraints=DISC, tol=1e-10)


def best_of(results):
    solved = [r for r in results if r.success]
    return min(solved, key=lambda r: r.fun) if solved else None
