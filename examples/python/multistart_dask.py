"""Multistart on a Dask cluster: one talvir.minimize solve per task.

    python3 multistart_dask.py [--scheduler tcp://host:8786] [--workers 2] [--starts 32] [--seed 1]

Without --scheduler a LocalCluster with --workers worker processes is started; with it, the solves go
to that cluster, whose workers must be able to import talvir and this folder's multistart_problem
(e.g. PYTHONPATH=<build>/python:examples/python on every worker, or client.upload_file).

multistart(client, starts, seed) -> (best OptimizeResult, all results in the order of the starts)
"""

import argparse

from multistart_problem import BEST_KNOWN, best_of, solve_from, starting_points  # noqa: F401


def multistart(client, starts, seed):
    futures = client.map(solve_from, list(starting_points(starts, seed)), pure=False)
    results = client.gather(futures)
    return best_of(results), results


def main():
    from distributed import Client, LocalCluster

    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scheduler", help="address of a running scheduler (default: a LocalCluster)")
    parser.add_argument("--workers", type=int, default=2, help="LocalCluster worker processes")
    parser.add_argument("--starts", type=int, default=32)
    parser.add_argument("--seed", type=int, default=1)
    options = parser.parse_args()
    if options.scheduler:
        with Client(options.scheduler) as client:
            best, results = multistart(client, options.starts, options.seed)
    else:
        with LocalCluster(n_workers=options.workers, threads_per_worker=1, dashboard_address=None) as cluster:
            with Client(cluster) as client:
                best, results = multistart(client, options.starts, options.seed)
    solved = sum(r.success for r in results)
    print(f"{solved} of {len(results)} solves converged")
    print(f"best f = {best.fun:.10g} at x = {best.x} (best known {BEST_KNOWN:.10g})")


if __name__ == "__main__":
    main()
