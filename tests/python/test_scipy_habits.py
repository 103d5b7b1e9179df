"""Code written for scipy's SLSQP, unchanged but for `method=`: its options, in-place functions, every
bound form, bad returns, ignored arguments and result fields behave as scipy's own methods treat them,
and the defaults give SLSQP-like accuracy."""

import warnings

import numpy as np
import pytest
from scipy.optimize import Bounds, LinearConstraint, NonlinearConstraint, OptimizeWarning
from scipy.optimize import minimize as scipy_minimize

import talvir


def sphere(x):
    return float(np.sum((x - 1.0) ** 2))


def through_scipy(**call):
    return scipy_minimize(method=talvir.minimize, **call)


def in_place(x):
    x -= 1.0  # changes its argument, as code written for SLSQP may
    return float(x @ x)


def vector_fun(x):
    return np.array([x[0], x[1]])


# (what, call changes, warning fragments expected (OptimizeWarning), check of the result)
HABITS = [
    ("SLSQP's options", dict(options={"iprint": 0, "ftol": 1e-10, "eps": 1e-7, "maxiter": 50}), [],
     lambda r: r.success),
    ("options of other methods", dict(options={"gtol": 1e-5, "xtol": 1e-8, "verbose": 0,
                                               "finite_diff_rel_step": 1e-6}),
     ["gtol", "xtol", "verbose"], lambda r: r.success),
    ("maxfev", dict(options={"maxfev": 2}), [], lambda r: r.status == 25 and not r.success),
    ("in-place objective", dict(fun=in_place), [], lambda r: r.success and np.allclose(r.x, 1, atol=1e-6)),
    ("one-element array pairs", dict(bounds=[(np.array([0.0]), np.array([0.5]))] * 2), [],
     lambda r: np.allclose(r.x, 0.5)),
    ("Bounds of scalars", dict(bounds=Bounds(0.0, 0.5)), [], lambda r: np.allclose(r.x, 0.5)),
    ("Bounds of an array and a scalar", dict(bounds=Bounds(np.zeros(2), 0.5)), [],
     lambda r: np.allclose(r.x, 0.5)),
    ("scalar sides broadcast", dict(constraints=[NonlinearConstraint(vector_fun, -np.inf, 0.5),
                                                 LinearConstraint(np.eye(2), 0, np.inf)]), [],
     lambda r: np.allclose(r.x, 0.5, atol=1e-7)),
    ("keep_feasible", dict(bounds=Bounds(0.0, 0.5, keep_feasible=True)), ["keep_feasible"],
     lambda r: r.success),
    ("constraint hess and sparsity", dict(constraints=NonlinearConstraint(
        vector_fun, -np.inf, 0.5, hess=lambda x, v: np.zeros((2, 2)), finite_diff_rel_step=1e-6,
        finite_diff_jac_sparsity=np.ones((2, 2)))),
     ["hess", "finite_diff_rel_step", "finite_diff_jac_sparsity"], lambda r: r.success),
]


@pytest.mark.parametrize("what, change, warned, check", HABITS, ids=[h[0] for h in HABITS])
def test_scipy_habits_work_and_warn_like_scipy(what, change, warned, check):
    call = dict(fun=sphere, x0=np.zeros(2))
    call.update(change)
    with warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        result = through_scipy(**call)
    messages = " ".join(str(w.message) for w in seen if issubclass(w.category, OptimizeWarning))
    for fragment in warned:
        assert fragment in messages, messages
    if not warned:
        assert not messages, messages
    assert check(result), result


def constant_gradient(x):
    return np.ones_like(x)


# (function given as, what it returns, the exception and a fragment of its message)
BAD_RETURNS = [
    ("fun", None, TypeError, "fun"),
    ("fun", "abc", TypeError, "fun"),
    ("fun", np.array([1.0, 2.0]), ValueError, "fun"),
    ("fun", 1 + 2j, TypeError, "fun"),
    ("constraint", "grows", ValueError, "returned 3 values, expected 2"),
    ("eps", 1e-300, ValueError, "eps"),
]


@pytest.mark.parametrize("where, value, error, fragment", BAD_RETURNS)
def test_bad_functions_raise_errors_that_name_them(where, value, error, fragment):
    call = dict(fun=lambda x: value, x0=np.zeros(2), jac=constant_gradient)
    if where == "constraint":
        sizes = iter([2] + [3] * 100)
        call = dict(fun=sphere, x0=np.zeros(2),
                    constraints={"type": "ineq", "fun": lambda x: np.ones(next(sizes))})
    elif where == "eps":
        call = dict(fun=sphere, x0=np.zeros(2), options={"eps": value})
    with pytest.raises(error, match=fragment):
        through_scipy(**call)


def test_the_result_has_the_fields_scipy_users_read():
    calls = []
    cons = [{"type": "eq", "fun": lambda x: x[0] + x[1] - 1.0},
            NonlinearConstraint(vector_fun, -np.inf, [0.8, 0.8])]
    result = through_scipy(fun=sphere, x0=np.zeros(2), constraints=cons, callback=calls.append)
    for field in ("x", "fun", "jac", "nit", "nfev", "njev", "status", "success", "message", "maxcv",
                  "multipliers"):
        assert field in result, field
    assert result.nit == len(calls)
    assert [np.shape(m) for m in result.multipliers] == [(1,), (2,)]


def rosen(x):
    return float(np.sum(100.0 * (x[1:] - x[:-1] ** 2) ** 2 + (1.0 - x[:-1]) ** 2))


# SLSQP-style cases at the defaults: (problem, the solution's check)
ACCURACY = [
    # with differences the gradient's error limits x to about 1e-5 (SLSQP: 4.2e-4 from this start)
    ("Rosenbrock from a random start", dict(fun=rosen, x0=np.random.default_rng(7).uniform(-2, 2, 4)),
     lambda r: np.abs(r.x - 1.0).max() < 3e-5),
    ("equality-constrained, f about 1.5", dict(
        fun=lambda x: x[0] ** 2 + 2 * x[1] ** 2 + x[2] ** 2, x0=[1.0, 1.0, 1.0],
        constraints={"type": "eq", "fun": lambda x: np.array([x[0] + x[1] + x[2] - 2.0,
                                                             x[0] - x[2] - 0.5])}),
     lambda r: abs(r.fun - 1.725) / 1.725 < 1e-8 and r.maxcv < 1e-8),
    ("linear inequalities active at 0", dict(
        fun=lambda x: (x[0] - 2) ** 2 + (x[1] - 1) ** 2, x0=[0.0, 0.0],
        constraints=LinearConstraint([[1.0, 1.0], [1.0, -1.0]], -np.inf, [1.0, 0.0])),
     lambda r: r.maxcv < 1e-9),
]


@pytest.mark.parametrize("what, call, accurate", ACCURACY, ids=[a[0] for a in ACCURACY])
def test_the_defaults_are_as_accurate_as_slsqp(what, call, accurate):
    result = through_scipy(**call)
    assert result.success and accurate(result), result
