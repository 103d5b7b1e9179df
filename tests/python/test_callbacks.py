"""The caller's functions during a solve: exceptions, non-finite values, threads and the Dask example."""

import os
import pickle
import signal
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import talvir


class Boom(Exception):
    pass


def problem(raise_in, after):
    """hs071-like problem whose function `raise_in` raises one Boom instance at its `after`-th call."""
    boom = Boom(f"{raise_in} failed")
    calls = {"n": 0}

    def guard(name):
        if name == raise_in:
            calls["n"] += 1
            if calls["n"] == after:
                raise boom

    def fun(x):
        guard("fun")
        return x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2]

    def jac(x):
        guard("jac")
        return np.array([x[3] * (2 * x[0] + x[1] + x[2]), x[0] * x[3], x[0] * x[3] + 1, x[0] * (x[0] + x[1] + x[2])])

    def cons(x):
        guard("constraint")
        return np.prod(x) - 25

    def cons_jac(x):
        guard("constraint jac")
        return np.prod(x) / x

    def callback(x):
        guard("callback")

    kwargs = dict(fun=fun, x0=[1, 5, 5, 1], jac=jac, bounds=[(1, 5)] * 4, callback=callback,
                  constraints=[{"type": "ineq", "fun": cons, "jac": cons_jac},
                               {"type": "eq", "fun": lambda x: np.sum(x ** 2) - 40, "jac": lambda x: 2 * x}])
    return boom, kwargs


@pytest.mark.parametrize("where", ["fun", "jac", "constraint", "constraint jac", "callback"])
def test_an_exception_ends_the_solve_and_propagates_unchanged(where):
    boom, kwargs = problem(where, after=3)
    with pytest.raises(Boom) as caught:
        talvir.minimize(**kwargs)
    assert caught.value is boom
    _, clean = problem("nowhere", after=0)
    assert talvir.minimize(**clean).success  # nothing was left behind


@pytest.mark.parametrize("bad", [np.nan, np.inf])
def test_a_non_finite_value_at_a_trial_point_shortens_the_step(bad):
    # With the default start the first trial point is x = 2, where f is not defined.
    visited = []

    def fun(x):
        visited.append(x[0])
        return bad if x[0] > 1.5 else (x[0] - 1.0) ** 2

    res = talvir.minimize(fun, [0.0], jac=lambda x: 2 * (x - 1.0))
    assert res.success, res.message
    assert res.x[0] == pytest.approx(1.0, abs=1e-6)
    assert max(visited) > 1.5


def test_a_non_finite_value_at_the_start_ends_the_solve():
    res = talvir.minimize(lambda x: np.nan, [0.0], jac=lambda x: np.zeros(1))
    assert not res.success
    assert res.status == 21
    assert res.message


def solve_from(x0):
    cons = [{"type": "ineq", "fun": lambda x: np.prod(x) - 25},
            {"type": "eq", "fun": lambda x: np.sum(x ** 2) - 40}]
    res = talvir.minimize(lambda x: x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2], x0, bounds=[(1, 5)] * 4,
                          constraints=cons)
    return res.x, res.fun, res.nfev, res.status


def test_threads_give_the_answers_of_sequential_runs():
    starts = np.random.default_rng(7).uniform(1, 5, size=(12, 4))
    sequential = [solve_from(x0) for x0 in starts]
    with ThreadPoolExecutor(max_workers=4) as pool:
        threaded = list(pool.map(solve_from, starts))
    for (x1, f1, n1, s1), (x2, f2, n2, s2) in zip(sequential, threaded):
        np.testing.assert_array_equal(x1, x2)
        assert (f1, n1, s1) == (f2, n2, s2)


def test_thread_example_finds_the_best_known_point():
    import multistart_threads

    best = multistart_threads.multistart(starts=8, seed=3, threads=3)
    assert best.success
    assert best.fun == pytest.approx(multistart_threads.BEST_KNOWN, abs=1e-5)


def test_dask_example_with_two_workers():
    distributed = pytest.importorskip("distributed")
    import multistart_dask

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            best, results = multistart_dask.multistart(client, starts=6, seed=3)
    assert len(results) == 6
    assert best.success
    assert best.fun == pytest.approx(multistart_dask.BEST_KNOWN, abs=1e-5)
    # Each remote answer equals the same solve done here.
    x0 = multistart_dask.starting_points(6, seed=3)[0]
    local = multistart_dask.solve_from(x0)
    np.testing.assert_array_equal(results[0].x, local.x)


def test_the_engine_works_without_the_gil():
    # With a huge switch interval the GIL changes hands only where a thread releases it. A ticker that
    # yields after every tick then ticks freely while the solving thread is inside the engine (n = 250:
    # milliseconds per step) and only now and then otherwise (about 2 ticks per step when the engine
    # holds the GIL, about 80 when it does not).
    ticks, done = [0], threading.Event()

    def ticker():
        while not done.is_set():
            ticks[0] += 1
            time.sleep(0)

    n = 250
    a = np.random.default_rng(1).normal(size=(60, n))
    cons = {"type": "ineq", "fun": lambda x: 1.0 - a @ x, "jac": lambda x: -a}
    old = sys.getswitchinterval()
    sys.setswitchinterval(100.0)
    thread = threading.Thread(target=ticker)
    try:
        thread.start()
        res = talvir.minimize(lambda x: float(np.sum((x - 1.0) ** 4 + x ** 2)), np.zeros(n),
                              jac=lambda x: 4 * (x - 1.0) ** 3 + 2 * x, constraints=cons)
    finally:
        done.set()
        thread.join()
        sys.setswitchinterval(old)
    assert res.success
    assert ticks[0] > 10 * (res.nfev + res.njev)


def test_ctrl_c_cuts_a_long_engine_call_short():
    # n = 1500 with 700 dense equalities: the first engine call takes seconds (8.7 s when measured);
    # SIGINT 0.2 s into it must raise KeyboardInterrupt well within a second.
    n, m = 1500, 700
    a = np.random.default_rng(2).normal(size=(m, n))
    sent = []

    def jac(x):
        if not sent:
            sent.append(threading.Timer(0.2, lambda: (sent.append(time.perf_counter()),
                                                      os.kill(os.getpid(), signal.SIGINT))))
            sent[0].start()
        return 2 * x

    with pytest.raises(KeyboardInterrupt):
        talvir.minimize(lambda x: float(x @ x), np.zeros(n), jac=jac,
                        constraints={"type": "eq", "fun": lambda x: a @ x - 1.0, "jac": lambda x: a})
    assert time.perf_counter() - sent[1] < 1.0


def test_a_solve_inside_an_objective_leaves_the_outer_solve_alone():
    # The inner solve's minimum is (a - 1)^2 + 0.5; the outer one's minimum is at a = 1.
    def inner(a):
        res = talvir.minimize(lambda y: (y[0] - a[0]) ** 2 + 0.5, [0.0], jac=lambda y: 2 * (y - a[0]), tol=1e-12)
        return (res.x[0] - 1.0) ** 2 + res.fun

    nested = talvir.minimize(inner, [3.0], tol=1e-10)
    assert nested.success, nested.message
    assert nested.x[0] == pytest.approx(1.0, abs=1e-4)
    assert nested.fun == pytest.approx(0.5, abs=1e-8)


def hs071_kwargs():
    fun = lambda x: x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2]  # noqa: E731
    cons = [{"type": "ineq", "fun": lambda x: x[0] * x[1] * x[2] * x[3] - 25},
            {"type": "eq", "fun": lambda x: x @ x - 40}]
    return dict(fun=fun, x0=[1, 5, 5, 1], bounds=[(1, 5)] * 4, constraints=cons)


@pytest.mark.parametrize("convention", ["xk", "intermediate_result"])
def test_callback_once_per_iteration_in_either_convention(convention):
    seen = []
    if convention == "xk":
        def callback(xk):
            seen.append(np.array(xk))
    else:
        def callback(intermediate_result):
            seen.append(intermediate_result.x)
            assert np.isfinite(intermediate_result.fun)
    res = talvir.minimize(callback=callback, **hs071_kwargs())
    assert res.success and len(seen) == res.nit
    np.testing.assert_allclose(seen[-1], res.x, atol=1e-6)


@pytest.mark.parametrize("how, status", [
    ("stop iteration", 20), ("maxfev", 25), ("max_evaluations", 25), ("time_limit", 24),
])
def test_stops_and_limits_end_at_the_last_accepted_point(how, status):
    kwargs = hs071_kwargs()
    if how == "stop iteration":
        def callback(xk):
            raise StopIteration
        kwargs["callback"] = callback
    elif how == "time_limit":
        kwargs["options"] = {"time_limit": 1e-12}
    else:
        kwargs["options"] = {how: 3}
    res = talvir.minimize(**kwargs)
    assert res.status == status and not res.success
    assert res.nit < talvir.minimize(**hs071_kwargs()).nit
    if status == 20:
        assert res.nit == 1


def test_warm_starts_need_fewer_evaluations_and_a_pickled_one_warns():
    def solve(bound, x0, previous=None):
        cons = [{"type": "ineq", "fun": lambda x: x[0] * x[1] * x[2] * x[3] - bound},
                {"type": "eq", "fun": lambda x: x @ x - 40}]
        options = {} if previous is None else {"warm_start": previous}
        return talvir.minimize(hs071_kwargs()["fun"], x0, bounds=[(1, 5)] * 4, constraints=cons,
                               options=options)

    cold = warm = 0
    previous = None
    for k in range(50):  # hs071 with its product bound moved by 0.1% per solve
        bound = 25.0 * (1 + 0.001 * k)
        reference = solve(bound, [1, 5, 5, 1])
        result = solve(bound, [1, 5, 5, 1] if previous is None else previous.x, previous)
        assert result.success and result.fun == pytest.approx(reference.fun, rel=1e-6)
        cold, warm, previous = cold + reference.nfev, warm + result.nfev, result
    assert warm <= 0.7 * cold, (warm, cold)
    with pytest.warns(RuntimeWarning, match="pickled"):
        again = solve(25.0, [1, 5, 5, 1], pickle.loads(pickle.dumps(previous)))
    assert again.nfev == solve(25.0, [1, 5, 5, 1]).nfev


def plain_gradient(x):
    return np.array([2 * x[0] + 3 * x[1], 3 * x[0]])


def wrong_gradient(x):
    return plain_gradient(x) + [0, 0.01]


def wrong_jacobian(x):
    return np.array([[x[1], x[0]], [0.0, 3 * x[1] ** 2 + 1]])


@pytest.mark.parametrize("jac, cons_jac, found", [
    (plain_gradient, None, []),
    (wrong_gradient, None, [("objective", 0, 1)]),
    (plain_gradient, wrong_jacobian, [(0, 1, 1)]),
    (lambda x: (_ for _ in ()).throw(Boom("jac")), None, Boom),
])
def test_check_derivatives_finds_planted_errors(jac, cons_jac, found):
    cons = {"type": "eq", "fun": lambda x: np.array([x[0] * x[1], x[1] ** 3])}
    if cons_jac is not None:
        cons["jac"] = cons_jac
    args = dict(fun=lambda x: x[0] ** 2 + 3 * x[0] * x[1], jac=jac, x0=[1.0, 2.0], constraints=cons)
    if found is Boom:
        with pytest.raises(Boom):
            talvir.check_derivatives(**args)
        return
    report = talvir.check_derivatives(**args)
    assert [(r.function, r.component, r.variable) for r in report] == found
    assert all(r.error > 1e-4 for r in report)
