"""talvir.check_derivatives: the caller's derivatives against central differences at one point.

check_derivatives(fun, jac, x0, args=(), constraints=(), tolerance=1e-4) -> list of DerivativeError
    fun, jac, args, constraints  as for talvir.minimize; jac must give the gradient (a callable, or True
                                 when fun returns (f, gradient)). Constraints without a jac are
                                 differentiated by forward differences and checked like the others.
    x0                           the point
    tolerance                    the largest relative error |given - estimated| / max(1, |estimated|)
Every gradient entry and every entry of each constraint's Jacobian is compared with a central
difference (step cbrt(machine epsilon) max(1, |x_i|)); one DerivativeError per entry beyond the
tolerance, in the order objective, then constraints. The functions are called about 2n + 1 times.
"""

from collections import namedtuple

import numpy as np

from talvir import _talvir
from talvir._constraints import Constraints
from talvir._objective import Objective

DerivativeError = namedtuple("DerivativeError", "function component variable given estimated error")
DerivativeError.__doc__ = """One derivative entry beyond the tolerance: function is "objective" or the
position of the constraint in `constraints`; component indexes that constraint's values (0 for the
objective); variable the x index; error the relative error (inf when a value is not a number)."""


def check_derivatives(fun, jac, x0, args=(), constraints=(), tolerance=1e-4):
    if not (callable(jac) or jac is True):
        raise ValueError("check_derivatives: jac must be a callable or True (the gradient to check)")
    if not (tolerance > 0):
        raise ValueError(f"check_derivatives: tolerance must be positive, got {tolerance!r}")
    x = np.atleast_1d(np.array(x0, dtype=float))
    if x.ndim != 1 or not np.isfinite(x).all():
        raise ValueError("check_derivatives: x0 must be a finite vector")
    args = args if isinstance(args, tuple) else (args,)
    free = np.full(x.size, np.inf)
    objective = Objective(fun, args, jac, -free, free, None)
    rows = Constraints(constraints, x, -free, free, None)
    components = rows.components()
    handle = _talvir.Solver(x.size, [1] * len(components))
    found = handle.check_derivatives(
        objective.value, rows.stacked_values, objective.gradient,
        lambda y: rows.stacked_jacobian(y).reshape(-1), x, float(tolerance))
    return [DerivativeError("objective", 0, column, given, estimated, error) if row < 0 else
            DerivativeError(components[row][0], components[row][1], column, given, estimated, error)
            for row, column, given, estimated, error in found]
