#!/usr/bin/env python3
"""Pictures and a summary table from the CSV of talvir_compare (Python standard library + gnuplot).

    plot_performance.py RESULTS.csv OUTPUT_DIR

Writes OUTPUT_DIR/performance-profile.png: Dolan-More performance profiles over the bundled collection
(the scalable families left out), one panel for evaluations and one for wall time. For each problem the
ratio of a solver's measure to the best measure among the solvers that solved it; a problem a solver
did not solve counts as an infinite ratio. The curve is the fraction of problems within a factor tau
of the best, tau on a log2 axis.

Writes OUTPUT_DIR/performance-scaling.png: wall time per iteration against n for each scalable family,
log-log, one line per solver (solved runs only).

Prints a Markdown summary of the collection per solver (solved, total wall and processor time,
median evaluations, time relative to the first peer solver) and the per-iteration times of the families.
"""
import csv
import math
import os
import statistics
import subprocess
import sys
import tempfile

FAMILIES = ("chain", "qp", "dense_qp")
COLOURS = {"talvir-plugin": "#c0392b", "nlopt-slsqp": "#2471a3", "ipopt": "#229954"}


def read_rows(path):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    for r in rows:
        for key in ("n", "m", "solved", "evaluations", "iterations", "repeats"):
            r[key] = int(r[key])
        for key in ("wall_time_s", "cpu_time_s"):
            r[key] = float(r[key]) if r.get(key) else float("nan")
    return rows


def solvers_of(rows):
    seen = []
    for r in rows:
        if r["solver"] not in seen:
            seen.append(r["solver"])
    return seen


def profile(rows, solvers, measure):
    """Sorted finite ratios per solver, and the number of problems."""
    by_problem = {}
    for r in rows:
        if r["problem"] in FAMILIES:
            continue
        value = r[measure] if r["solved"] else math.inf
        by_problem.setdefault(r["problem"], {})[r["solver"]] = max(value, 1e-12)
    ratios = {s: [] for s in solvers}
    for values in by_problem.values():
        best = min(values.values())
        for s in solvers:
            v = values.get(s, math.inf)
            if math.isfinite(best) and math.isfinite(v):
                ratios[s].append(v / best)
    return {s: sorted(r) for s, r in ratios.items()}, len(by_problem)


def write_profile_data(folder, name, ratios, count, tau_max):
    files = {}
    for solver, values in ratios.items():
        path = os.path.join(folder, f"{name}-{solver}.dat")
        with open(path, "w") as f:
            f.write("0 0\n")
            for k, ratio in enumerate(values):
                f.write(f"{math.log2(ratio):.6f} {k / count:.6f}\n")
                f.write(f"{math.log2(ratio):.6f} {(k + 1) / count:.6f}\n")
            f.write(f"{tau_max:.6f} {len(values) / count:.6f}\n")
        files[solver] = path
    return files


def write_scaling_data(folder, rows, family, solvers):
    files = {}
    for s in solvers:
        points = sorted((r["n"], r["wall_time_s"] / max(r["iterations"], 1))
                        for r in rows if r["problem"] == family and r["solver"] == s and r["solved"])
        if not points:
            continue
        path = os.path.join(folder, f"scaling-{family}-{s}.dat")
        with open(path, "w") as f:
            for n, t in points:
                f.write(f"{n} {t:.9g}\n")
        files[s] = path
    return files


def plot_command(files, width):
    parts = []
    for solver, path in files.items():
        colour = COLOURS.get(solver, "#555555")
        parts.append(f"'{path}' using 1:2 with {width} lw 2 lc rgb '{colour}' title '{solver}'")
    return "plot " + ", ".join(parts)


def draw(script):
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


def profiles_picture(rows, solvers, folder, out):
    script = [f"set terminal pngcairo size 1200,500 font 'sans,11'", f"set output '{out}'",
              "set multiplot layout 1,2", "set key bottom right", "set grid",
              "set ylabel 'fraction of problems'", "set yrange [0:1.02]"]
    for measure, title in (("evaluations", "function evaluations"), ("wall_time_s", "wall time")):
        ratios, count = profile(rows, solvers, measure)
        finite = [math.log2(r) for values in ratios.values() for r in values]
        tau_max = max(finite + [1.0]) * 1.05
        files = write_profile_data(folder, measure, ratios, count, tau_max)
        script += [f"set title 'Performance profile: {title} ({count} problems)'",
                   "set xlabel 'log2 of the ratio to the best solver'", f"set xrange [0:{tau_max:.3f}]",
                   plot_command(files, "lines")]
    script.append("unset multiplot")
    draw("\n".join(script) + "\n")


def scaling_picture(rows, solvers, folder, out):
    script = [f"set terminal pngcairo size 1500,480 font 'sans,10'", f"set output '{out}'",
              "set multiplot layout 1,3", "set logscale xy", "set grid", "set key top left",
              "set xlabel 'n (variables)'", "set ylabel 'wall time per iteration (s)'", "set format y '%.0e'"]
    for family in FAMILIES:
        files = write_scaling_data(folder, rows, family, solvers)
        if files:
            script += [f"set title 'Scalable family \"{family}\"' noenhanced", plot_command(files, "linespoints")]
    script.append("unset multiplot")
    draw("\n".join(script) + "\n")


def summary(rows, solvers):
    collection = [r for r in rows if r["problem"] not in FAMILIES]
    totals = {s: sum(r["wall_time_s"] for r in collection if r["solver"] == s) for s in solvers}
    peer = next((s for s in solvers if s != "talvir-plugin"), None)
    print("| solver | solved | wall time, total (s) | processor time, total (s) | median evaluations |"
          + (f" wall time / {peer} |" if peer else ""))
    print("|---|---|---|---|---|" + ("---|" if peer else ""))
    for s in solvers:
        mine = [r for r in collection if r["solver"] == s]
        line = (f"| {s} | {sum(r['solved'] for r in mine)} of {len(mine)} | {totals[s]:.4f} | "
                f"{sum(r['cpu_time_s'] for r in mine):.4f} | "
                f"{statistics.median(r['evaluations'] for r in mine):.1f} |")
        if peer:
            line += f" {totals[s] / totals[peer]:.2f} |"
        print(line)
    print()
    print("| family | n | " + " | ".join(f"{s} s/iteration" for s in solvers) + " |")
    print("|---|---|" + "---|" * len(solvers))
    for family in FAMILIES:
        sizes = sorted({r["n"] for r in rows if r["problem"] == family})
        for n in sizes:
            cells = []
            for s in solvers:
                match = [r for r in rows if r["problem"] == family and r["n"] == n and r["solver"] == s]
                if not match:
                    cells.append("")
                    continue
                r = match[0]
                value = f"{r['wall_time_s'] / max(r['iterations'], 1):.3g}"
                cells.append(value if r["solved"] else value + " (not solved)")
            print(f"| {family} | {n} | " + " | ".join(cells) + " |")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    rows = read_rows(sys.argv[1])
    solvers = solvers_of(rows)
    os.makedirs(sys.argv[2], exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        profiles_picture(rows, solvers, folder, os.path.join(sys.argv[2], "performance-profile.png"))
        scaling_picture(rows, solvers, folder, os.path.join(sys.argv[2], "performance-scaling.png"))
    summary(rows, solvers)


if __name__ == "__main__":
    main()
