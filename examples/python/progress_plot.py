"""Watch a solve: f and the constraint violation per iteration, recorded by the callback and drawn.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/progress_plot.py [out.png]

Solves a chained Rosenbrock problem on a sphere (n = 30, one nonlinear equality) and draws f and
the largest violation per iteration on a log scale (needs matplotlib: Debian's python3-matplotlib).
"""

import sys

import numpy as np

import talvir

N = 30


def fun(x):
    return float(np.sum(100.0 * (x[1:] - x[:-1] ** 2) ** 2 + (1.0 - x[:-1]) ** 2))


def sphere(x):  # |x|^2 = N: holds at the unconstrained minimiser x = 1
    return float(x @ x) - N


def main(out):
    seen = []

    def callback(intermediate_result):
        seen.append((intermediate_result.nit, intermediate_result.fun, intermediate_result.maxcv))

    x0 = np.full(N, 0.5)
    res = talvir.minimize(fun, x0, constraints={"type": "eq", "fun": sphere}, callback=callback,
                          options={"maxiter": 500})
    print(res.message, f"f = {res.fun:.6g} after {res.nit} iterations")

    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    it, f, violation = (np.array(column) for column in zip(*seen))
    fig, ax = plt.subplots(figsize=(6.4, 3.6))
    ax.semilogy(it, np.maximum(f, 1e-16), label="f (0 at the solution)")
    ax.semilogy(it, np.maximum(violation, 1e-16), label="violation")
    ax.set_xlabel("iteration")
    ax.set_title(f"chained Rosenbrock on a sphere, n = {N}")
    ax.legend()
    fig.tight_layout()
    fig.savefig(out, dpi=100)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "progress.png")
