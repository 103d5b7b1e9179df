"""Arguments and options of talvir.minimize: refusals before anything is evaluated, the derivative
forms, the option names and scipy's custom-method call."""

import numpy as np
import pytest
from scipy.optimize import Bounds, LinearConstraint, NonlinearConstraint
from scipy.optimize import minimize as scipy_minimize

import talvir


class Counting:
    """An objective that counts its calls."""

    def __init__(self):
        self.calls = 0

    def __call__(self, x):
        self.calls += 1
        return float(np.sum((x - 1.0) ** 2))


def ineq(x):
    return x[0] - 2.0


BAD_CALLS = [
    (TypeError, "callable", dict(fun=42)),
    (ValueError, "non-empty", dict(x0=[])),
    (ValueError, "finite", dict(x0=[np.nan, 1.0])),
    (TypeError, "real", dict(x0=[1j, 1.0])),
    (TypeError, "numbers", dict(x0=["a", "b"])),
    (ValueError, "'5-point'", dict(jac="5-point")),
    (TypeError, "jac must be", dict(jac=3)),
    (ValueError, "pairs", dict(bounds=[(0, 1)])),
    (ValueError, "lower bound", dict(bounds=[(2, 1), (0, 1)])),
    (ValueError, "NaN", dict(bounds=Bounds([0, np.nan], [1, 1]))),
    (ValueError, "'type'", dict(constraints={"type": "ge", "fun": ineq})),
    (ValueError, "'fun' key", dict(constraints={"type": "eq"})),
    (ValueError, "unknown key", dict(constraints={"type": "eq", "fun": ineq, "jacobian": ineq})),
    (TypeError, "callable", dict(constraints={"type": "eq", "fun": 3})),
    (TypeError, "NonlinearConstraint", dict(constraints=[7])),
    (ValueError, "must be <= ub", dict(constraints=NonlinearConstraint(ineq, 1, 0))),
    (ValueError, "columns", dict(constraints=LinearConstraint([[1, 2, 3]], 0, 1))),
    (ValueError, "give one of them", dict(options={"eps": 1e-6, "finite_diff_rel_step": 1e-6})),
    (TypeError, "integer", dict(options={"maxiter": 1.5})),
    (TypeError, "number", dict(options={"maxiter": "many"})),
    (TypeError, "text", dict(options={"PrintLevel": 1})),
    (ValueError, "MaxIterations", dict(options={"maxiter": 0})),
    (ValueError, "MaxIterations", dict(options={"maxiter": 10**12})),
    (ValueError, "OptTol", dict(tol=-1.0)),
    (ValueError, "QPMode", dict(options={"qpmode": 2})),
    (ValueError, "already given", dict(options={"maxiter": 5, "MaxIterations": 6})),
    (ValueError, "eps", dict(options={"eps": -1e-8})),
    (TypeError, "options must be a dict", dict(options=[("maxiter", 3)])),
    (TypeError, "callback", dict(callback="print")),
]


@pytest.mark.parametrize("error, fragment, change", BAD_CALLS,
                         ids=[f"{c[0].__name__}: {c[1]}" for c in BAD_CALLS])
def test_bad_arguments_raise_before_any_evaluation(error, fragment, change):
    fun = Counting()
    call = dict(fun=fun, x0=[0.0, 0.0])
    call.update(change)
    with pytest.raises(error, match=fragment):
        talvir.minimize(**call)
    assert fun.calls == 0


def quadratic_with_gradient(x):
    return float(np.sum((x - 1.0) ** 2)), 2 * (x - 1.0)


@pytest.mark.parametrize("jac, differences", [
    (True, False), (lambda x: 2 * (x - 1.0), False), (None, True), ("2-point", True), ("3-point", True),
])
def test_derivative_forms_reach_the_same_point(jac, differences):
    fun = quadratic_with_gradient if jac is True else (lambda x: quadratic_with_gradient(x)[0])
    cons = {"type": "ineq", "fun": lambda x: 1.0 - x[0] - x[1], "jac": lambda x: -np.ones(2)}
    res = talvir.minimize(fun, [0.0, -1.0], jac=jac, constraints=cons, tol=1e-10)
    assert res.success
    np.testing.assert_allclose(res.x, [0.5, 0.5], atol=1e-6)
    assert ("finite differences" in res.message) == differences
    assert res.nfev >= res.njev * (2 if differences else 0)


def test_scipy_custom_method_call_matches_the_direct_call():
    kwargs = dict(x0=[-1.2, 1.0], bounds=Bounds([-2, -2], [0.8, 2]),
                  constraints=[{"type": "ineq", "fun": lambda x: 2 - x[0] ** 2 - x[1] ** 2}], tol=1e-8)
    fun = lambda x: 100 * (x[1] - x[0] ** 2) ** 2 + (1 - x[0]) ** 2  # noqa: E731
    through_scipy = scipy_minimize(fun, method=talvir.minimize, options={"maxiter": 200, "StepSize": 0.4}, **kwargs)
    direct = talvir.minimize(fun, options={"maxiter": 200, "StepSize": 0.4}, **kwargs)
    assert through_scipy.success
    np.testing.assert_array_equal(through_scipy.x, direct.x)
    assert (through_scipy.nfev, through_scipy.nit) == (direct.nfev, direct.nit)


def test_iteration_limit_is_reported_honestly():
    fun = lambda x: 100 * (x[1] - x[0] ** 2) ** 2 + (1 - x[0]) ** 2  # noqa: E731
    res = talvir.minimize(fun, [-1.2, 1.0], options={"maxiter": 3})
    assert not res.success
    assert res.status == 2 and res.nit == 3
    assert "3" in res.message


@pytest.mark.parametrize("options, logged, listed", [
    ({"disp": True}, True, False), ({"PrintLevel": "Normal"}, False, True), ({}, False, False),
    ({"disp": False, "printlevel": "errors only"}, False, False), ({"Log": 1}, True, False),
])
def test_disp_prints_the_log_and_print_level_the_listing(capsys, options, logged, listed):
    talvir.minimize(lambda x: (x[0] - 1) ** 2, [0.0], options=options)
    out = capsys.readouterr().out
    assert ("iter     objective     violation" in out and "\nending:       1, Converged" in out) == logged
    assert ("ITERATIONS =" in out) == listed


def test_parameters_reach_the_engine():
    fun = lambda x: 100 * (x[1] - x[0] ** 2) ** 2 + (1 - x[0]) ** 2  # noqa: E731

    def solve(**options):
        return talvir.minimize(fun, [-1.2, 1.0], options=options)

    assert solve(maxlinesearches=0).status == 3
    assert solve(QPMode=1).success
    loose, tight = solve(OptTol=1e-2), solve(ftol=1e-12)
    assert loose.nit < tight.nit
    assert abs(tight.x - 1).max() < abs(loose.x - 1).max()


def test_a_hessian_is_ignored_with_a_warning():
    with pytest.warns(RuntimeWarning, match="Hessian"):
        res = talvir.minimize(lambda x: (x[0] - 1) ** 2, [0.0], hess=lambda x: 2 * np.eye(1))
    assert res.success and res.x[0] == pytest.approx(1.0, abs=1e-6)
