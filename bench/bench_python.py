"""Python benchmarks of the talvir package (run with the release build's package on PYTHONPATH):

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [--repeats 3] [--overhead-problem hs028]

1. Per-call overhead of the binding: one bundled problem solved again and again through the C API's
   callback driver with C++ callbacks (talvir_collection.native_solve: no Python during the solve) and
   through talvir.minimize with the same C++ functions as Python callables; the difference per
   evaluation request is the price of the binding and the Python loop (argument handling and the
   result included). scipy's SLSQP on the same callables is listed for scale.
2. The bundled collection through talvir.minimize and scipy's SLSQP in the same run, both given the
   same Python callables (objective, gradient, and the constraints as one 'eq' and one 'ineq' dict with
   Jacobians; c <= 0 rows negated for SLSQP's c >= 0), the same start and bounds, default options.
   A problem counts as solved when |f - published optimum| is within the collection's tolerance and the
   constraints and bounds hold within 1e-6, judged here, independently of either solver's flag.
   Times are the best of --repeats runs of the whole collection (building the callables excluded); the
   collection runs once with both solvers' default tolerances and once with tol = 1e-6 for both (the
   package's default before it became 1e-9).
"""

import argparse
import time

import numpy as np
import talvir_collection
from scipy.optimize import minimize as scipy_minimize

import talvir

FEASIBILITY = 1e-6


def callables(p):
    """The scipy form of a bundled problem: fun, jac, bounds, constraints (dicts)."""
    kinds = np.array(p.kinds)
    eq, sign = kinds == 0, np.where(kinds < 0, -1.0, 1.0)
    ineq = kinds != 0
    constraints = []
    if eq.any():
        constraints.append({"type": "eq", "fun": lambda x: p.constraints(x)[eq],
                            "jac": lambda x: p.jacobian(x)[eq]})
    if ineq.any():
        constraints.append({"type": "ineq", "fun": lambda x: (sign * p.constraints(x))[ineq],
                            "jac": lambda x: (sign[:, None] * p.jacobian(x))[ineq]})
    lower = np.where(p.lower <= -1e20, -np.inf, p.lower)
    upper = np.where(p.upper >= 1e20, np.inf, p.upper)
    return dict(fun=p.objective, jac=p.gradient, x0=p.start, bounds=list(zip(lower, upper)),
                constraints=constraints)


def violation(p, x):
    c = p.constraints(x)
    kinds = np.array(p.kinds)
    rows = np.where(kinds == 0, np.abs(c), np.where(kinds > 0, -c, c))
    bounds = np.maximum(p.lower - x, x - p.upper)
    return float(max(np.max(rows, initial=0.0), np.max(bounds, initial=0.0), 0.0))


def solved(p, res):
    return abs(res.fun - p.optimum) <= p.tolerance and violation(p, res.x) <= FEASIBILITY


def overhead(name, repeats):
    """Batches of 50 solves each way, interleaved; the best batch of each way counts."""
    p = talvir_collection.Problem(name)
    _, ending, f, values, derivatives = talvir_collection.native_solve(p, 1)
    call = callables(p)
    native, through_python, slsqp = [], [], []
    for _ in range(4 * repeats):
        native.append(talvir_collection.native_solve(p, 50)[0])
        start = time.perf_counter()
        for _ in range(50):
            res = talvir.minimize(**call)
        through_python.append((time.perf_counter() - start) / 50)
        start = time.perf_counter()
        for _ in range(50):
            theirs = scipy_minimize(**call, method="SLSQP")
        slsqp.append((time.perf_counter() - start) / 50)
    native, slsqp = min(native), min(slsqp)
    python = min(through_python)
    requests = values + derivatives
    print(f"## Per-call overhead ({name}: n = {p.n}, m = {p.m}; {values} value and {derivatives} derivative "
          f"requests per solve; same ending {ending}, f {f:.10g} / {res.fun:.10g})\n")
    print("| path | time per solve | per request |")
    print("|---|---|---|")
    print(f"| C API, C++ callbacks | {native * 1e6:.1f} us | {native / requests * 1e6:.2f} us |")
    print(f"| talvir.minimize, Python callables | {python * 1e6:.1f} us | {python / requests * 1e6:.2f} us |")
    print(f"| difference (binding + Python loop) | {(python - native) * 1e6:.1f} us | "
          f"{(python - native) / requests * 1e6:.2f} us |")
    print(f"| for scale: scipy SLSQP, same callables | {slsqp * 1e6:.1f} us | {theirs.nfev} fun and "
          f"{theirs.njev} gradient calls |\n")


def run_collection(method, problems, tol):
    calls = [callables(p) for p in problems]
    results = []
    start = time.perf_counter()
    for call in calls:
        if method == "talvir":
            results.append(talvir.minimize(**call, tol=tol))
        else:
            results.append(scipy_minimize(**call, method="SLSQP", tol=tol))
    return time.perf_counter() - start, results


def collection(repeats, tol):
    problems = [talvir_collection.Problem(name) for name in talvir_collection.names()]
    problems = [p for p in problems if np.isfinite(p.optimum)]
    rows = {}
    for method in ("talvir", "SLSQP"):
        runs = [run_collection(method, problems, tol) for _ in range(repeats)]
        seconds = min(t for t, _ in runs)
        results = runs[0][1]
        rows[method] = (seconds, results)
    setting = "default tolerances (talvir OptTol 1e-9, SLSQP ftol 1e-6)" if tol is None else f"tol = {tol:g} for both"
    print(f"## The bundled collection: {len(problems)} problems with a known optimum, {setting}, "
          f"best of {repeats}\n")
    print("| solver | solved | success flags | success but f off the optimum | median rel. f error (solved) "
          "| median violation (solved) | fun calls | gradient calls | wall time |")
    print("|---|---|---|---|---|---|---|---|---|")
    for method, (seconds, results) in rows.items():
        good = [solved(p, r) for p, r in zip(problems, results)]
        flags = [bool(r.success) for r in results]
        false = sum(f and not g for f, g in zip(flags, good))
        nfev = sum(r.nfev for r in results)
        njev = sum(r.njev for r in results)
        error = np.median([abs(r.fun - p.optimum) / max(1.0, abs(p.optimum))
                           for p, r, g in zip(problems, results, good) if g])
        worst = np.median([violation(p, r.x) for p, r, g in zip(problems, results, good) if g])
        print(f"| {method} | {sum(good)} | {sum(flags)} | {false} | {error:.1e} | {worst:.1e} | {nfev} | {njev} "
              f"| {seconds * 1e3:.1f} ms |")
    ratio = rows["talvir"][0] / rows["SLSQP"][0]
    print(f"\nwall time talvir / SLSQP: {ratio:.2f}\n")
    only = [p.name for p, a, b in zip(problems, rows["talvir"][1], rows["SLSQP"][1])
            if solved(p, a) != solved(p, b)]
    for name in only:
        i = [p.name for p in problems].index(name)
        a, b = rows["talvir"][1][i], rows["SLSQP"][1][i]
        print(f"- {name}: talvir f = {a.fun:.8g} ({'solved' if solved(problems[i], a) else a.message}); "
              f"SLSQP f = {b.fun:.8g} ({'solved' if solved(problems[i], b) else b.message})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--overhead-problem", default="hs028")
    parser.add_argument("--tol", type=float, action="append",
                        help="a tolerance for both solvers (repeatable; default: the defaults, then 1e-6)")
    options = parser.parse_args()
    overhead(options.overhead_problem, options.repeats)
    for tol in options.tol or [None, 1e-6]:
        collection(options.repeats, tol)


if __name__ == "__main__":
    main()
