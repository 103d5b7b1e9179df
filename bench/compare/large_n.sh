#!/usr/bin/env bash
# Larger problems: time per iteration and peak memory against n, on the dense family and the bundled
# scalable ones, TALVIR (through the C API) beside NLopt's SLSQP and Ipopt in one run; with a second
# talvir_compare (e.g. a build of an earlier commit) also TALVIR before and after, side by side.
#
#   bench/compare/large_n.sh BUILD [BEFORE_BUILD] > report.md     (BUILD: a release build folder)
#
# Peak memory: the largest resident set (/usr/bin/time) of a process that solves one problem of size n
# through the C API, beside the bytes talvir_memory_needed gives for it (the solver's arrays).
set -euo pipefail
build=$1
before=${2:-}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
sizes=(--sizes dense_qp:100,200,400,800,1600 --sizes qp:100,200,400,800 --sizes chain:25,50,100)
"$build/bin/talvir_compare" --no-collection --solvers talvir-api,nlopt-slsqp,ipopt --min-time 0.2 \
  "${sizes[@]}" --out "$out/after.csv" 2> /dev/null
if [ -n "$before" ]; then
  "$before/bin/talvir_compare" --no-collection --solvers talvir-api --min-time 0.2 "${sizes[@]}" \
    --out "$out/before.csv" 2> /dev/null
fi
python3 - "$out/after.csv" "$out/before.csv" <<'PY'
import csv, math, os, sys
def per_iteration(path):
    rows = {}
    if not os.path.exists(path):
        return rows
    for r in csv.DictReader(open(path)):
        if r["solved"] == "1" and int(r["iterations"]) > 0:
            rows[(r["problem"], int(r["n"]), r["solver"])] = float(r["cpu_time_s"]) / int(r["iterations"])
    return rows
after, before = per_iteration(sys.argv[1]), per_iteration(sys.argv[2])
solvers = ["talvir-api", "nlopt-slsqp", "ipopt"]
print("| family | n | TALVIR before | TALVIR after | NLopt SLSQP | Ipopt | after / Ipopt |")
print("|---|---|---|---|---|---|---|")
keys = sorted({(p, n) for p, n, _ in after}, key=lambda k: (k[0], k[1]))
for p, n in keys:
    cells = [before.get((p, n, "talvir-api"))] + [after.get((p, n, s)) for s in solvers]
    ratio = (cells[1] / cells[3]) if cells[1] and cells[3] else None
    text = ["%.3g" % c if c else "-" for c in cells] + ["%.2f" % ratio if ratio else "-"]
    print(f"| {p} | {n} | " + " | ".join(text) + " |")
print()
for p in sorted({k[0] for k in keys}):
    ns = sorted(n for q, n in keys if q == p)
    if 400 in ns and 1600 in ns:
        for label, table, solver in (("TALVIR before", before, "talvir-api"), ("TALVIR after", after, "talvir-api"),
                                     ("NLopt", after, "nlopt-slsqp"), ("Ipopt", after, "ipopt")):
            a, b = table.get((p, 400, solver)), table.get((p, 1600, solver))
            if a and b:
                print(f"- {p}: {label} grows like n^{math.log(b / a) / math.log(4):.2f} from 400 to 1600")
PY
echo
echo "| n (dense_qp) | peak resident memory | talvir_memory_needed |"
echo "|---|---|---|"
for n in 100 200 400 800 1600; do
  /usr/bin/time -f %M -o "$out/rss" "$build/bin/talvir_compare" --no-collection --solvers talvir-api \
    --min-time 0 --sizes dense_qp:$n --sizes qp:2 --sizes chain:2 --out /dev/null > /dev/null 2>&1
  kb=$(tail -1 "$out/rss")
  need=$(python3 -c "
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
need, avail = ctypes.c_double(), ctypes.c_double()
kinds = (ctypes.c_int * $((n / 2)))()  # all equalities
lib.talvir_memory_needed($n, $((n / 2)), kinds, ctypes.byref(need), ctypes.byref(avail))
print('%.1f MB' % (need.value / 1e6))" "$build/lib/libtalvir.so.1")
  echo "| $n | $((kb / 1024)) MB | $need |"
done
