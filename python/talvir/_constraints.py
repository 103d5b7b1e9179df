"""The caller's constraints turned into the engine's one-sided rows, and the answers turned back.

Accepted forms (a single one or a sequence of them, freely mixed):
  dict {'type': 'eq' | 'ineq', 'fun': c(x, *args), 'jac': J(x, *args) (optional), 'args': tuple (optional)}
       'eq' means c(x) = 0, 'ineq' means c(x) >= 0; c may return a scalar or a vector.
  scipy.optimize.NonlinearConstraint(fun, lb, ub, jac=...)   lb <= fun(x) <= ub
  scipy.optimize.LinearConstraint(A, lb, ub)                  lb <= A x <= ub
A constraint without a usable jac is differentiated by finite differences. keep_feasible, and a nonlinear
constraint's hess, finite_diff_rel_step and finite_diff_jac_sparsity are ignored with an OptimizeWarning.
Every function gets its own copy of x.

Constraints(constraints, x0, xl, xu, step) evaluates every constraint once at x0 to learn its size
(as SLSQP does) and raises TypeError / ValueError for anything it cannot use.

Engine rows: for each component i of the stacked caller vector c with bounds lb_i <= c_i <= ub_i,
  lb_i == ub_i (finite)  one equality row       c_i - lb_i = 0   (kind  0)
  lb_i finite            one row                c_i - lb_i >= 0  (kind +1)
  ub_i finite            one row                c_i - ub_i <= 0  (kind -1)
  both infinite          no row.
The engine's multipliers follow L = f - sum(lam_j c_j) for each row; since every row of component i has
the gradient of c_i, the caller's multiplier of c_i is the sum over its rows, in the same convention:
grad f = sum_i lam_i grad c_i (+ bound terms) at a solution, lam_i >= 0 at an active lower side and
<= 0 at an active upper side.

m, kinds                 number of rows and their kinds (0, +1, -1)
values(x) -> (m,)        row values
jacobian(x) -> (m, n)    row gradients, row-major
stacked_values(x), stacked_jacobian(x)   the caller's constraint vectors stacked, and their gradients
components()             (constraint position, component) of each stacked value
violation(x) -> float    the largest violation of the caller's constraints at x (0 when none)
multipliers(lam) -> list one array per caller constraint (its components), from the row multipliers
by_differences           True when some constraint Jacobian comes from finite differences
"""

import warnings

import numpy as np
from scipy.optimize import HessianUpdateStrategy, LinearConstraint, NonlinearConstraint, OptimizeWarning

from talvir._differences import forward_jacobian
from talvir._objective import DIFFERENCE_SCHEMES, jac_mode, real_values

_DICT_KEYS = {"type", "fun", "jac", "args"}


class _Block:
    """One caller constraint: c(x) (k values) with bounds lb <= c <= ub and its Jacobian."""

    def __init__(self, what, fun, jac, args, lb, ub, x0):
        if not callable(fun):
            raise TypeError(f"{what}: 'fun' must be callable, not {type(fun).__name__}")
        self.what, self._fun, self._jac, self._args = what, fun, jac, args
        self.mode = jac_mode(jac, what)
        if self.mode == "combined":
            raise ValueError(f"{what}: jac=True is not available for constraints; give a callable")
        self.k = self.evaluate(x0).size
        self.lb, self.ub = _sides(what, lb, ub, self.k)

    def evaluate(self, x):
        return real_values(self._fun(x.copy(), *self._args), self.what).reshape(-1)

    def jacobian(self, x, xl, xu, step):
        n = x.size
        if self.mode in DIFFERENCE_SCHEMES:
            c0 = self.evaluate(x)
            return forward_jacobian(self.evaluate, x, c0, xl, xu, step, self.mode)
        jac = self._jac(x.copy(), *self._args)
        jac = np.asarray(jac.toarray() if hasattr(jac, "toarray") else jac, dtype=float)
        if jac.size != self.k * n:
            raise ValueError(f"{self.what}: the Jacobian has shape {jac.shape}, expected ({self.k}, {n})")
        return jac.reshape(self.k, n)


def _sides(what, lb, ub, k):
    lb = np.broadcast_to(np.asarray(lb, dtype=float), (k,)) if np.size(lb) in (1, k) else None
    ub = np.broadcast_to(np.asarray(ub, dtype=float), (k,)) if np.size(ub) in (1, k) else None
    if lb is None or ub is None:
        raise ValueError(f"{what}: lb and ub must be scalars or have one entry per constraint value ({k})")
    if np.isnan(lb).any() or np.isnan(ub).any():
        raise ValueError(f"{what}: lb and ub must not be NaN")
    if (lb > ub).any() or np.isposinf(lb).any() or np.isneginf(ub).any():
        raise ValueError(f"{what}: every lb must be <= ub, with lb < +inf and ub > -inf")
    return lb, ub


def _from_dict(what, con, args_default, x0):
    unknown = set(con) - _DICT_KEYS
    if unknown:
        raise ValueError(f"{what}: unknown key(s) {sorted(unknown)}; the keys are 'type', 'fun', 'jac', 'args'")
    kind = con.get("type")
    if not isinstance(kind, str) or kind.lower() not in ("eq", "ineq"):
        raise ValueError(f"{what}: 'type' must be 'eq' or 'ineq', got {kind!r}")
    if "fun" not in con:
        raise ValueError(f"{what}: the 'fun' key is missing")
    args = con.get("args", args_default)
    if not isinstance(args, tuple):
        args = (args,)
    upper = 0.0 if kind.lower() == "eq" else np.inf
    return _Block(what, con["fun"], con.get("jac"), args, 0.0, upper, x0)


def _from_linear(what, con, x0):
    a = con.A.toarray() if hasattr(con.A, "toarray") else np.asarray(con.A, dtype=float)
    a = np.atleast_2d(np.asarray(a, dtype=float))
    if a.shape[1] != x0.size:
        raise ValueError(f"{what}: A has {a.shape[1]} columns, expected {x0.size}")
    return _Block(what, lambda x: a @ x, lambda x: a, (), con.lb, con.ub, x0)


def _warn_ignored(what, con):
    """OptimizeWarning for what SLSQP ignores too: keep_feasible, and a nonlinear constraint's hess
    (other than the default quasi-Newton one) and finite-difference settings."""
    ignored = []
    if np.any(getattr(con, "keep_feasible", False)):
        ignored.append("keep_feasible")
    if isinstance(con, NonlinearConstraint):
        if con.hess is not None and not isinstance(con.hess, HessianUpdateStrategy):
            ignored.append("hess")
        ignored += [name for name in ("finite_diff_rel_step", "finite_diff_jac_sparsity")
                    if getattr(con, name, None) is not None]
    if ignored:
        warnings.warn(f"{what}: {', '.join(ignored)} ignored", OptimizeWarning, stacklevel=5)


def _block(index, con, x0):
    what = f"constraint {index}"
    _warn_ignored(what, con)
    if isinstance(con, dict):
        return _from_dict(what, con, (), x0)
    if isinstance(con, LinearConstraint):
        return _from_linear(what, con, x0)
    if isinstance(con, NonlinearConstraint):
        return _Block(what, con.fun, con.jac, (), con.lb, con.ub, x0)
    raise TypeError(
        f"{what}: expected a dict, NonlinearConstraint or LinearConstraint, not {type(con).__name__}"
    )


class Constraints:
    def __init__(self, constraints, x0, xl, xu, step):
        if constraints is None:
            constraints = ()
        if isinstance(constraints, (dict, LinearConstraint, NonlinearConstraint)):
            constraints = (constraints,)
        self._blocks = [_block(i, con, x0) for i, con in enumerate(constraints)]
        self._xl, self._xu, self._step = xl, xu, step
        self._rows_of_blocks()

    def _rows_of_blocks(self):
        lb = np.concatenate([b.lb for b in self._blocks]) if self._blocks else np.zeros(0)
        ub = np.concatenate([b.ub for b in self._blocks]) if self._blocks else np.zeros(0)
        rows, offsets, kinds = [], [], []
        for i, (lo, up) in enumerate(zip(lb, ub)):
            if lo == up:
                rows.append(i), offsets.append(lo), kinds.append(0)
                continue
            if np.isfinite(lo):
                rows.append(i), offsets.append(lo), kinds.append(1)
            if np.isfinite(up):
                rows.append(i), offsets.append(up), kinds.append(-1)
        self._lb, self._ub = lb, ub
        self._rows = np.array(rows, dtype=np.intp)
        self._offsets = np.array(offsets, dtype=float)
        self.kinds = np.array(kinds, dtype=np.int32)
        self.m = len(rows)
        # The common case (every component one row, no offset) needs no gather.
        self._plain = self.m == lb.size and not self._offsets.any()

    @property
    def by_differences(self):
        return any(b.mode in DIFFERENCE_SCHEMES for b in self._blocks)

    def _stacked(self, x):
        values = [b.evaluate(x) for b in self._blocks]
        for b, v in zip(self._blocks, values):
            if v.size != b.k:
                raise ValueError(f"{b.what}: returned {v.size} values, expected {b.k}")
        if len(values) == 1:
            return values[0]
        return np.concatenate(values) if values else np.zeros(0)

    def values(self, x):
        stacked = self._stacked(x)
        return stacked if self._plain else stacked[self._rows] - self._offsets

    def jacobian(self, x):
        full = self.stacked_jacobian(x)
        return full if self._plain else full[self._rows]

    def stacked_values(self, x):
        return self._stacked(x)

    def stacked_jacobian(self, x):
        if not self._blocks:
            return np.zeros((0, x.size))
        parts = [b.jacobian(x, self._xl, self._xu, self._step) for b in self._blocks]
        return parts[0] if len(parts) == 1 else np.vstack(parts)

    def components(self):
        """(position of the constraint as given, index within its values) of each stacked component."""
        return [(i, k) for i, b in enumerate(self._blocks) for k in range(b.k)]

    def violation(self, x):
        if not self._blocks:
            return 0.0
        c = self._stacked(x)
        return float(np.max(np.maximum(np.maximum(self._lb - c, c - self._ub), 0.0), initial=0.0))

    def multipliers(self, lam):
        total = self._lb.size
        per_component = np.bincount(self._rows, weights=np.asarray(lam, dtype=float), minlength=total)
        out, start = [], 0
        for b in self._blocks:
            out.append(per_component[start : start + b.k].copy())
            start += b.k
        return out
