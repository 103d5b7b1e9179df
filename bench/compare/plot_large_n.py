#!/usr/bin/env python3
"""The time-per-iteration picture of a large_n.sh report (matplotlib: Debian's python3-matplotlib).

    plot_large_n.py REPORT.md OUT.png

One panel per family, log-log: seconds per iteration against n for TALVIR before and after, NLopt's
SLSQP and Ipopt, read from the report's first table.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

COLUMNS = ["TALVIR before", "TALVIR after", "NLopt SLSQP", "Ipopt"]


def read(path):
    series = {}
    for line in open(path):
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) != 7 or not cells[1].isdigit():
            continue
        family, n = cells[0], int(cells[1])
        for name, value in zip(COLUMNS, cells[2:6]):
            if value != "-":
                series.setdefault(family, {}).setdefault(name, []).append((n, float(value)))
    return series


def main(report, out):
    series = read(report)
    fig, axes = plt.subplots(1, len(series), figsize=(4.2 * len(series), 3.6))
    for ax, (family, lines) in zip(axes, sorted(series.items())):
        for name in COLUMNS:
            if name in lines:
                n, t = zip(*lines[name])
                ax.loglog(n, t, marker="o", label=name)
        ax.set_title(family)
        ax.set_xlabel("n")
        ax.set_ylabel("s per iteration")
    axes[0].legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(out, dpi=100)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
