"""Multistart with a thread pool: each solve has its own solver, and the engine works without the GIL,
so the solves overlap wherever the engine (not the Python functions) is busy.

    python3 multistart_threads.py [--starts 32] [--threads 4] [--seed 1]

multistart(starts, seed, threads) -> the best OptimizeResult
"""

import argparse
from concurrent.futures import ThreadPoolExecutor

from multistart_problem import BEST_KNOWN, best_of, solve_from, starting_points  # noqa: F401


def multistart(starts, seed, threads):
    with ThreadPoolExecutor(max_workers=threads) as pool:
        return best_of(list(pool.map(solve_from, starting_points(starts, seed))))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--starts", type=int, default=32)
    parser.add_argument("--threads", type=int, default=4)
    parser.add_argument("--seed", type=int, default=1)
    options = parser.parse_args()
    best = multistart(options.starts, options.seed, options.threads)
    print(f"best f = {best.fun:.10g} at x = {best.x} (best known {BEST_KNOWN:.10g})")


if __name__ == "__main__":
    main()
