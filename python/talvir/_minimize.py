"""talvir.minimize: scipy's minimize interface over the native solver.

minimize(fun, x0, args=(), jac=None, bounds=None, constraints=(), tol=None, callback=None, options=None,
         hess=None, hessp=None, **options_as_keywords) -> scipy.optimize.OptimizeResult

Usable directly and as scipy.optimize.minimize(fun, x0, method=talvir.minimize, ...), which passes its
`options` as keywords (and `tol` as a keyword). Every argument is checked, and the parameters are set on
the native handle, before the objective is evaluated: a bad argument raises TypeError or ValueError.
To learn their sizes, the constraint functions are called once at x0 first (as SLSQP does).

During the solve the GIL is released while the engine works; the caller's functions run on the calling
thread. An exception raised by any of them (fun, jac, a constraint, callback) stops the native solve and
propagates unchanged. A non-finite objective or constraint value at a trial point makes the engine
shorten the step; at the start point it ends the solve (status 21).

Result fields: x, fun, jac (the objective gradient at x), success, status (the native ending number),
message, nfev (calls of fun, finite differences included), njev (gradients computed), nit (QP
subproblems solved), maxcv (the largest violation of the constraints and bounds at x), multipliers
(one array per constraint given, in the order given; grad f = sum lam grad c + bound_multipliers),
bound_multipliers (>= 0 at an active lower bound, <= 0 at an active upper bound), warm_start (hand the
result to a later solve of the same shape as options={"warm_start": result}: it starts from x0 with this
solve's Hessian approximation and multipliers).
`success` is True only for a converged solve whose point satisfies the constraints within
max(1e-6, OptTol) (maxcv); otherwise the message says why.
"""

import inspect
import sys
import warnings

import numpy as np
from scipy.optimize import Bounds, OptimizeResult, OptimizeWarning

from talvir import _talvir
from talvir._constraints import Constraints
from talvir._objective import Objective
from talvir._options import check_step, settings

_FEASIBILITY_FLOOR = 1.0e-6


def minimize(fun, x0, args=(), jac=None, bounds=None, constraints=(), tol=None, callback=None,
             options=None, hess=None, hessp=None, **options_as_keywords):
    """Minimises fun(x, *args) subject to bounds and constraints; scipy.optimize.minimize's arguments
    and result (an OptimizeResult). The options are the seven solver parameters by name (PrintLevel,
    PrintFreq, StepSize, MaxIterations, MaxLineSearches, OptTol, QPMode) and maxiter, ftol, disp, eps.
    See the module talvir._minimize and docs/python.md for every argument and result field."""
    if not callable(fun):
        raise TypeError(f"fun must be callable, not {type(fun).__name__}")
    if callback is not None and not callable(callback):
        raise TypeError(f"callback must be callable or None, not {type(callback).__name__}")
    if hess is not None or hessp is not None:
        warnings.warn("talvir.minimize does not use Hessian information (hess, hessp)", RuntimeWarning,
                      stacklevel=2)
    args = args if isinstance(args, tuple) else (args,)
    chosen = settings(_merged(options, options_as_keywords), tol)
    _check_parameters(chosen.parameters)
    x = _start_point(x0)
    xl, xu = _bounds(bounds, x.size)
    x = np.clip(x, xl, xu)
    check_step(chosen.eps, x)
    objective = Objective(fun, args, jac, xl, xu, chosen.eps)
    rows = Constraints(constraints, x, xl, xu, chosen.eps)
    solver = _solver(rows, x, xl, xu, chosen)
    last = _run(solver, objective, rows, callback, chosen.disp)
    return _result(solver, objective, rows, last)


def _merged(options, keywords):
    if options is not None and not isinstance(options, dict):
        raise TypeError(f"options must be a dict, not {type(options).__name__}")
    merged = dict(options or {})
    for key, value in keywords.items():
        if key in merged:
            raise ValueError(f"option {key!r} is given both in options and as a keyword")
        merged[key] = value
    return merged


def _check_parameters(parameters):
    """Sets the parameters on a throw-away handle, so that the native table refuses bad values now."""
    if not parameters:
        return
    probe = _talvir.Solver(1, [])
    for name, value in parameters.items():
        probe.set_parameter(name, value)


def _start_point(x0):
    if np.iscomplexobj(x0):
        raise TypeError("x0 must be real")
    try:
        x = np.array(x0, dtype=float)
    except (TypeError, ValueError) as error:
        raise TypeError(f"x0 must be an array of numbers: {error}") from None
    if x.ndim > 1:
        x = np.squeeze(x)
    x = np.atleast_1d(x)
    if x.ndim != 1 or x.size == 0:
        raise ValueError(f"x0 must be a non-empty vector, got shape {np.shape(x0)}")
    if not np.isfinite(x).all():
        raise ValueError("x0 must be finite")
    return x


def _bounds(bounds, n):
    """(xl, xu), n values each, -inf / +inf where there is no bound."""
    if bounds is None:
        return np.full(n, -np.inf), np.full(n, np.inf)
    if isinstance(bounds, Bounds):
        if np.any(bounds.keep_feasible):
            warnings.warn("bounds: keep_feasible ignored", OptimizeWarning, stacklevel=3)
        try:
            xl = np.broadcast_to(np.asarray(bounds.lb, dtype=float).reshape(-1), (n,)).copy()
            xu = np.broadcast_to(np.asarray(bounds.ub, dtype=float).reshape(-1), (n,)).copy()
        except ValueError:
            raise ValueError(f"bounds: lb and ub must be scalars or have {n} entries") from None
    else:
        pairs = list(bounds)
        if len(pairs) != n or any(np.size(p) != 2 for p in pairs):
            raise ValueError(f"bounds must be a Bounds object or {n} (lower, upper) pairs")
        xl = np.array([_side(p[0], -np.inf) for p in pairs])
        xu = np.array([_side(p[1], np.inf) for p in pairs])
    if np.isnan(xl).any() or np.isnan(xu).any():
        raise ValueError("bounds must not be NaN")
    if (xl > xu).any():
        i = int(np.argmax(xl > xu))
        raise ValueError(f"bounds: lower bound {xl[i]} > upper bound {xu[i]} for variable {i}")
    return xl, xu


class WarmStart:
    """What a later solve needs to go on from this one (the result's warm_start field): the native
    handle of the solve, with its Hessian approximation (n*n values) and multipliers. A pickled copy
    carries nothing (a handle does not travel): a solve given it starts cold, with a warning."""

    def __init__(self, solver):
        self.solver = solver

    def __reduce__(self):
        return (WarmStart, (None,))

    def __repr__(self):
        return f"<talvir warm start{'' if self.solver is not None else ' (empty)'}>"


def _warm_start_from(solver, given):
    token = getattr(given, "warm_start", given)
    if not isinstance(token, WarmStart):
        raise TypeError("option warm_start must be a result of talvir.minimize (or its warm_start field)")
    reason = "it was pickled, which drops the native state" if token.solver is None else None
    if reason is None:
        try:
            solver.warm_start_from(token.solver)
            return
        except ValueError as error:
            reason = str(error)
    warnings.warn(f"warm_start not used ({reason}): a cold start", RuntimeWarning, stacklevel=4)


def _side(value, none):
    """One side of a (lower, upper) pair: None, a number or a one-element array."""
    if value is None:
        return none
    side = np.asarray(value, dtype=float).reshape(-1)
    if side.size != 1:
        raise ValueError(f"bounds: each side of a pair must be a number or None, got {value!r}")
    return float(side[0])


def _solver(rows, x, xl, xu, chosen):
    solver = _talvir.Solver(x.size, rows.kinds.tolist())
    if chosen.warm_start is not None:
        _warm_start_from(solver, chosen.warm_start)
    solver.set_bounds(xl, xu)
    solver.set_start(x)
    for name, value in chosen.parameters.items():
        solver.set_parameter(name, value)
    solver.set_listing(chosen.disp)
    return solver


def _caller(callback):
    """How to call `callback`: with the result so far when its one parameter is named
    intermediate_result (scipy's newer convention), else with a copy of x."""
    if callback is None:
        return None
    try:
        names = list(inspect.signature(callback).parameters)
    except (TypeError, ValueError):
        names = []
    if names == ["intermediate_result"]:
        return lambda it, f, violation, x: callback(
            intermediate_result=OptimizeResult(x=x, fun=f, nit=it, maxcv=violation))
    return lambda it, f, violation, x: callback(x)


class _Last:
    """The gradient last computed and where (the result's jac reuses it at the final point)."""

    x = None
    g = None


def _run(solver, objective, rows, callback, disp):
    point, f, g, c, jac = solver.point(), solver.f, solver.g, solver.c, solver.jac
    last = _Last()
    call = _caller(callback)
    solver.set_progress(call is not None)
    try:
        while True:
            request = solver.step()
            if disp:
                sys.stdout.write(solver.take_listing())
            if call is not None and not _called_back(solver, call):
                _stop_quietly(solver)  # StopIteration: the last accepted point, status "stopped"
                return last
            if request == 0:
                return last
            x = point.copy()
            if request & _talvir.REQUEST_VALUES:
                f[0] = objective.value(x)
                c[:] = rows.values(x)
            if request & _talvir.REQUEST_DERIVATIVES:
                last.x, last.g = x, objective.gradient(x)
                g[:] = last.g
                jac[:] = rows.jacobian(x).reshape(-1)
    except BaseException:
        _stop_quietly(solver)
        raise


def _called_back(solver, call):
    """Hands each iteration since the last step to the callback; False when it raised StopIteration."""
    for it, f, violation, x in solver.take_progress():
        if it == 0:
            continue  # the start point: scipy's callback sees iterations only
        try:
            call(it, f, violation, x)
        except StopIteration:
            return False
    return True


def _stop_quietly(solver):
    try:
        solver.stop()
    except ValueError:
        pass  # the solve had ended already


def _result(solver, objective, rows, last):
    x = solver.x()
    gradient = last.g if last.x is not None and np.array_equal(last.x, x) else objective.gradient(x)
    maxcv = solver.max_violation()
    converged = solver.ending() == _talvir.ENDING_CONVERGED
    tolerance = max(_FEASIBILITY_FLOOR, solver.real_parameter("OptTol"))
    feasible = maxcv <= tolerance
    message = solver.ending_message().strip()
    if converged and not feasible:
        message += (f" But the point violates the constraints or bounds by {maxcv:.3g} (more than"
                    f" {tolerance:.3g}): it is not a solution; a smaller tol may help.")
    differenced = [what for what, yes in (("objective", objective.by_differences),
                                         ("constraints", rows.by_differences)) if yes]
    if differenced:
        message += f" Derivatives by finite differences: {', '.join(differenced)}."
    return OptimizeResult(
        x=x, fun=solver.objective(), jac=gradient, success=bool(converged and feasible),
        status=solver.ending(), message=message, nfev=objective.nfev, njev=objective.njev,
        nit=solver.iterations(), maxcv=maxcv, multipliers=rows.multipliers(solver.multipliers()),
        bound_multipliers=solver.bound_multipliers(), warm_start=WarmStart(solver),
    )
