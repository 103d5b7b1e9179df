"""talvir.minimize beside scipy's SLSQP on the kinds of problems SLSQP is tested with, the infeasible
case, the constraint forms that must agree, and the multipliers against the KKT conditions."""

import numpy as np
import pytest
from scipy.optimize import Bounds, LinearConstraint, NonlinearConstraint, OptimizeResult
from scipy.optimize import minimize as scipy_minimize

import talvir


# f = -(2xy + 2x - x^2 - 2y^2), the saddle-free quadratic of SLSQP's classic examples.
def saddle(x):
    return -(2 * x[0] * x[1] + 2 * x[0] - x[0] ** 2 - 2 * x[1] ** 2)


def saddle_grad(x):
    return np.array([-(2 * x[1] + 2 - 2 * x[0]), -(2 * x[0] - 4 * x[1])])


def rosen(x):
    return 100 * (x[1] - x[0] ** 2) ** 2 + (1 - x[0]) ** 2


def hs071(x):
    return x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2]


def shifted(x):
    return (x[0] - 1) ** 2 + (x[1] - 2.5) ** 2


CASES = {
    "unconstrained": dict(fun=saddle, x0=[-1, 1], jac=saddle_grad),
    "equality": dict(fun=saddle, x0=[-1, 1], jac=saddle_grad,
                     constraints={"type": "eq", "fun": lambda x: x[0] - x[1]}),
    "inequality inactive": dict(fun=saddle, x0=[-1, 1], jac=saddle_grad,
                                constraints={"type": "ineq", "fun": lambda x: x[0] - x[1]}),
    "cubic equality and inequality": dict(
        fun=saddle, x0=[-1, 1], jac=saddle_grad,
        constraints=[{"type": "eq", "fun": lambda x: x[0] ** 3 - x[1],
                      "jac": lambda x: np.array([3 * x[0] ** 2, -1.0])},
                     {"type": "ineq", "fun": lambda x: x[1] - 1}]),
    "bounded, differences": dict(fun=saddle, x0=[-1, 1], bounds=[(-0.8, 1.0), (-1, 0.8)]),
    "scalar constraint": dict(fun=lambda x: x[0] ** 2, x0=[3.0],
                              constraints={"type": "ineq", "fun": lambda x: x[0] - 1}),
    "start outside bounds": dict(fun=shifted, x0=[3, 3], bounds=[(0, 0.5), (0, 0.5)]),
    "three linear inequalities": dict(
        fun=shifted, x0=[2, 0], bounds=[(0, None), (0, None)],
        constraints=[{"type": "ineq", "fun": lambda x: x[0] - 2 * x[1] + 2},
                     {"type": "ineq", "fun": lambda x: -x[0] - 2 * x[1] + 6},
                     {"type": "ineq", "fun": lambda x: -x[0] + 2 * x[1] + 2}]),
    "rosenbrock in a disc": dict(fun=rosen, x0=[-1.2, 1.0],
                                 constraints=NonlinearConstraint(lambda x: x[0] ** 2 + x[1] ** 2, -np.inf, 1.5)),
    "vector equality": dict(fun=lambda x: np.sum(x ** 2), x0=[1, 2, 3],
                            constraints={"type": "eq", "fun": lambda x: np.array([x[0] + x[1] - 1, x[2] - 2])}),
    "cube-root curves": dict(fun=lambda x: np.sqrt(x[1]), x0=[1.234, 5.678], bounds=[(None, None), (0, None)],
                             constraints=[{"type": "ineq", "fun": lambda x: x[1] - (2 * x[0]) ** 3},
                                          {"type": "ineq", "fun": lambda x: x[1] - (1 - x[0]) ** 3}]),
    "objective in a list": dict(fun=lambda x: [x[0] ** 2 + x[1] ** 2], x0=[2, 3],
                                constraints={"type": "eq", "fun": lambda x: x[0] + x[1] - 1}),
    "integer bounds": dict(fun=shifted, x0=[0, 0], bounds=Bounds(np.array([0, 0]), np.array([1, 2]))),
    "fixed variable": dict(fun=shifted, x0=[0.5, 0.5], bounds=[(0.7, 0.7), (None, None)],
                           constraints={"type": "ineq", "fun": lambda x: 2 - x[0] - x[1]}),
    "hs071": dict(fun=hs071, x0=[1, 5, 5, 1], bounds=[(1, 5)] * 4,
                  constraints=[{"type": "ineq", "fun": lambda x: np.prod(x) - 25},
                               {"type": "eq", "fun": lambda x: np.sum(x ** 2) - 40}]),
}


@pytest.mark.parametrize("name", CASES)
def test_same_or_better_than_slsqp(name):
    case = CASES[name]
    ours = talvir.minimize(**case, tol=1e-9)
    theirs = scipy_minimize(**case, method="SLSQP", tol=1e-9)
    assert isinstance(ours, OptimizeResult)
    assert ours.success, ours.message
    assert ours.maxcv <= 1e-6
    assert ours.fun <= theirs.fun + 1e-6 * max(1.0, abs(theirs.fun))
    assert ours.fun == pytest.approx(float(np.squeeze(case["fun"](ours.x))), rel=1e-12, abs=1e-14)


def test_an_objective_that_is_not_scalar_is_refused():
    with pytest.raises(ValueError, match="scalar"):
        talvir.minimize(lambda x: x, [1.0, 2.0])


@pytest.mark.parametrize("constraints", [
    [{"type": "eq", "fun": lambda x: x[0] + x[1] - 1}, {"type": "ineq", "fun": lambda x: x[0] + x[1] - 3}],
    [{"type": "ineq", "fun": lambda x: 1 - x[0] ** 2 - x[1] ** 2}, {"type": "ineq", "fun": lambda x: x[0] - 2}],
], ids=["inconsistent linear", "disc and half-plane apart"])
def test_infeasible_problem_is_not_a_success(constraints):
    res = talvir.minimize(lambda x: x[0] ** 2 + x[1] ** 2, [0.3, 0.2], constraints=constraints)
    assert not res.success
    assert res.maxcv > 0.1
    assert "infeasib" in res.message.lower() or "violates" in res.message.lower(), res.message


def two_forms():
    c = lambda x: np.array([x[0] ** 2 + x[1], x[0] - x[1] ** 3])  # noqa: E731
    j = lambda x: np.array([[2 * x[0], 1.0], [1.0, -3 * x[1] ** 2]])  # noqa: E731
    a = np.array([[1.0, 2.0], [3.0, -1.0]])
    return [
        ({"type": "ineq", "fun": c, "jac": j}, NonlinearConstraint(c, 0, np.inf, jac=j)),
        ({"type": "eq", "fun": lambda x: c(x)[:1], "jac": lambda x: j(x)[:1]},
         NonlinearConstraint(lambda x: c(x)[0], 0, 0, jac=lambda x: j(x)[:1])),
        ([{"type": "ineq", "fun": lambda x: a @ x + 1, "jac": lambda x: a},
          {"type": "ineq", "fun": lambda x: 0.5 - a @ x, "jac": lambda x: -a}],
         LinearConstraint(a, -1, 0.5)),
    ]


@pytest.mark.parametrize("as_dict, as_object", two_forms(), ids=["ineq", "eq", "two-sided linear"])
def test_dict_and_object_forms_agree(as_dict, as_object):
    def solve(cons):
        return talvir.minimize(lambda x: (x[0] - 2) ** 2 + (x[1] + 1) ** 2, [0.5, 0.5], constraints=cons,
                               tol=1e-10)
    first, second = solve(as_dict), solve(as_object)
    assert first.success and second.success
    np.testing.assert_allclose(first.x, second.x, rtol=1e-8, atol=1e-10)
    assert first.fun == pytest.approx(second.fun, rel=1e-10, abs=1e-12)


def test_multipliers_satisfy_kkt_with_documented_signs():
    # (x0-2)^2 + (x1-2)^2 with -5 <= x0 + x1 <= 1 (the upper side active: lambda = -3 < 0) and
    # x0 - 2 x1 + 2 >= 0 (inactive at (0.5, 0.5): lambda = 0); no bounds, so grad f = sum lambda grad c.
    cons = [NonlinearConstraint(lambda x: x[0] + x[1], -5, 1, jac=lambda x: np.array([[1.0, 1.0]])),
            {"type": "ineq", "fun": lambda x: x[0] - 2 * x[1] + 2, "jac": lambda x: np.array([1.0, -2.0])}]
    res = talvir.minimize(lambda x: (x[0] - 2) ** 2 + (x[1] - 2) ** 2, [0, 0], constraints=cons,
                          jac=lambda x: 2 * (x - 2), tol=1e-10)
    assert res.success
    np.testing.assert_allclose(res.x, [0.5, 0.5], atol=1e-7)
    np.testing.assert_allclose(res.multipliers[0], [-3.0], atol=1e-6)
    np.testing.assert_allclose(res.multipliers[1], [0.0], atol=1e-6)
    residual = res.jac - res.multipliers[0][0] * np.array([1.0, 1.0]) - res.multipliers[1][0] * np.array([1, -2])
    np.testing.assert_allclose(residual, 0, atol=1e-6)
    # Active lower side: x0 - 2 x1 + 2 >= 0 binding for (x0-1)^2 + (x1-2.5)^2 at (1.4, 1.7), lambda 0.8.
    res = talvir.minimize(shifted, [2, 0], constraints=cons[1], tol=1e-10)
    np.testing.assert_allclose(res.x, [1.4, 1.7], atol=1e-6)
    np.testing.assert_allclose(res.multipliers[0], [0.8], atol=1e-6)
