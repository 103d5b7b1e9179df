"""The objective as the engine sees it: values and gradients at a point, with counts.

Objective(fun, args, jac, xl, xu, step)
    fun   callable f(x, *args) -> float, or (float, gradient) when jac is True
    jac   True, a callable g(x, *args) -> (n,) array, or None / False / "2-point" / "3-point"
          (finite differences; "cs" gives central differences with an OptimizeWarning)
    xl, xu, step  the bounds that finite differences respect and the `eps` step (None: relative)
Raises TypeError / ValueError for a jac it cannot use. fun and jac get their own copy of x; a value that
is not a real number (None, a text, a complex number) raises TypeError naming the function.

value(x) -> float         f at x (one call of fun, none when x is the point of the previous call)
gradient(x) -> (n,) array the gradient at x
nfev, njev                calls of fun (finite differences included) and gradients computed
by_differences            True when the gradient comes from finite differences
"""

import warnings

import numpy as np
from scipy.optimize import OptimizeWarning

from talvir._differences import forward_gradient

DIFFERENCE_SCHEMES = ("2-point", "3-point")


def jac_mode(jac, what):
    """'given' (callable), 'combined' (True) or a difference scheme; raises for anything else."""
    if jac is True:
        return "combined"
    if callable(jac):
        return "given"
    if jac is None or jac is False:
        return "2-point"
    if isinstance(jac, str):
        if jac in DIFFERENCE_SCHEMES:
            return jac
        if jac == "cs":
            warnings.warn(f"{what}: complex-step derivatives (jac='cs') are not used; central differences"
                          " ('3-point') instead", OptimizeWarning, stacklevel=4)
            return "3-point"
        raise ValueError(
            f"{what}: jac={jac!r} is not supported; use a callable, True, None, '2-point', '3-point' or 'cs'"
        )
    raise TypeError(f"{what}: jac must be a callable, True, None or a difference scheme, not {type(jac).__name__}")


def real_values(value, what):
    """`value` as a float array; TypeError naming `what` for None, texts, complex and other non-numbers."""
    array = np.asarray(value)
    if array.dtype.kind not in "biuf":
        kind = "complex values" if array.dtype.kind == "c" else type(value).__name__
        raise TypeError(f"{what} must return real numbers, not {kind}")
    return array.astype(float)


def scalar_value(value, what):
    array = real_values(value, what)
    if array.size != 1:
        raise ValueError(f"{what} must return a scalar, got an array of shape {array.shape}")
    return float(array.reshape(()))


class Objective:
    def __init__(self, fun, args, jac, xl, xu, step):
        if not callable(fun):
            raise TypeError(f"fun must be callable, not {type(fun).__name__}")
        self._fun = fun
        self._args = args
        self._jac = jac
        self._mode = jac_mode(jac, "the objective")
        self._xl, self._xu, self._step = xl, xu, step
        self._cached_x = None
        self._cached = None  # (f, g) at _cached_x; g is None unless fun gave it (jac=True)
        self.nfev = 0
        self.njev = 0

    @property
    def by_differences(self):
        return self._mode in DIFFERENCE_SCHEMES

    def _plain(self, x):
        self.nfev += 1
        return scalar_value(self._fun(x.copy(), *self._args), "fun")

    def _remembered(self, x):
        """f at x, reusing the last value when x is the last point asked for."""
        if self._cached_x is None or not self._same(x):
            self._cached_x, self._cached = x.copy(), (self._plain(x), None)
        return self._cached[0]

    def _combined(self, x):
        if self._cached_x is not None and self._same(x):
            return self._cached
        self.nfev += 1
        returned = self._fun(x.copy(), *self._args)
        if not isinstance(returned, (tuple, list)) or len(returned) != 2:
            raise ValueError("with jac=True, fun must return a pair (f, gradient)")
        f = scalar_value(returned[0], "fun")
        g = self._checked_gradient(returned[1], x.size)
        self._cached_x, self._cached = x.copy(), (f, g)
        return f, g

    def value(self, x):
        if self._mode == "combined":
            return self._combined(x)[0]
        return self._remembered(x)

    def gradient(self, x):
        self.njev += 1
        if self._mode == "combined":
            return self._combined(x)[1]
        if self._mode == "given":
            return self._checked_gradient(self._jac(x.copy(), *self._args), x.size)
        f0 = self._remembered(x)
        return forward_gradient(self._plain, x, f0, self._xl, self._xu, self._step, self._mode)

    def _same(self, x):
        return self._cached_x.tobytes() == x.tobytes()

    @staticmethod
    def _checked_gradient(g, n):
        g = real_values(g, "jac").reshape(-1)
        if g.size != n:
            raise ValueError(f"the gradient has {g.size} entries, expected {n}")
        return g
