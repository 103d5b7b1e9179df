"""Finite-difference derivatives for the functions a caller gives without derivatives.

forward_gradient(fun, x, f0, xl, xu, step, scheme)  -> (n,) array
    The gradient of the scalar function `fun` at `x`, where f0 = fun(x) is already known.
forward_jacobian(fun, x, c0, xl, xu, step, scheme)  -> (k, n) array
    The Jacobian of the vector function `fun` (k values) at `x`, where c0 = fun(x).

`scheme` is "2-point" (one extra call per variable: forward, or backward where the forward point would
leave the bounds) or "3-point" (two extra calls per variable: central, one-sided at a bound).
`step` is None for the relative default (sqrt(machine epsilon) * max(1, |x_i|) for "2-point", its cube
root for "3-point"), a positive absolute step (the `eps` option), or a RelativeStep r (the
`finite_diff_rel_step` option: r * max(1, |x_i|)). The trial points never leave
[xl, xu] unless the bounds are closer together than the step.
"""

import numpy as np

_EPS = np.finfo(float).eps


class RelativeStep(float):
    """A relative step r (scipy's finite_diff_rel_step): the step of x_i is r * max(1, |x_i|)."""


def steps(x, scheme, step):
    """The step of each variable."""
    if isinstance(step, RelativeStep):
        return float(step) * np.maximum(1.0, np.abs(x))
    if step is not None:
        return np.full(x.shape, float(step))
    base = np.sqrt(_EPS) if scheme == "2-point" else _EPS ** (1.0 / 3.0)
    return base * np.maximum(1.0, np.abs(x))


def _columns(fun, x, v0, xl, xu, step, scheme):
    """One difference quotient per variable, as a list of arrays shaped like v0."""
    h = steps(x, scheme, step)
    columns = []
    for i in range(x.size):
        up = x[i] + h[i] <= xu[i]
        down = x[i] - h[i] >= xl[i]
        if scheme == "3-point" and up and down:
            columns.append((_shifted(fun, x, i, h[i]) - _shifted(fun, x, i, -h[i])) / (2.0 * h[i]))
        elif up or not down:
            columns.append((_shifted(fun, x, i, h[i]) - v0) / h[i])
        else:
            columns.append((v0 - _shifted(fun, x, i, -h[i])) / h[i])
    return columns


def _shifted(fun, x, i, h):
    xt = x.copy()
    xt[i] += h
    return np.asarray(fun(xt), dtype=float)


def forward_gradient(fun, x, f0, xl, xu, step, scheme):
    return np.array([float(q) for q in _columns(fun, x, np.float64(f0), xl, xu, step, scheme)])


def forward_jacobian(fun, x, c0, xl, xu, step, scheme):
    c0 = np.asarray(c0, dtype=float).reshape(-1)
    columns = _columns(fun, x, c0, xl, xu, step, scheme)
    if not columns:
        return np.zeros((c0.size, 0))
    return np.stack([np.asarray(q, dtype=float).reshape(-1) for q in columns], axis=1)
