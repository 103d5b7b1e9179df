#!/usr/bin/env bash
# Runs the libFuzzer targets of tests/fuzz, each from a copy of its committed seed corpus (in fork mode,
# which goes on after a finding), and prints per target the executions, the time, the rate and the
# findings (crashes, broken invariants, timeouts, out-of-memory); exits non-zero when any target found
# something (its inputs are kept as build-fuzz/findings/<target>-crash-... etc.).
#
#   tests/fuzz/run_fuzzers.sh [--seconds S | --runs N] [target ...]
#     --seconds S   fuzz each target for S seconds (default 30)
#     --runs N      fuzz each target for N executions instead (the bench: --runs 1000000)
#     targets       fuzz_qpsub fuzz_engine fuzz_plugin fuzz_parameters fuzz_nl fuzz_api (default: all six)
# Before fuzzing, every committed input (corpus and findings) is replayed once through the libFuzzer
# build. Expects the targets built in build-fuzz (cmake --preset fuzz; cmake --build build-fuzz
# --target <targets>); run from the repository root.
set -uo pipefail
limit=(-max_total_time=30)
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) limit=(-max_total_time="$2"); shift 2 ;;
    --runs) limit=(-runs="$2"); shift 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_qpsub fuzz_engine fuzz_plugin fuzz_parameters fuzz_nl fuzz_api)

bin=build-fuzz/bin
work=build-fuzz/fuzz-work
findings=build-fuzz/findings
mkdir -p "$work" "$findings"
status=0
printf '%-16s %12s %9s %10s %9s\n' target executions seconds "exec/s" findings
corpus_of() {  # the seed corpus of a target: its own folder, or the .nl fixtures for fuzz_nl
  if [ "$1" = fuzz_nl ]; then echo tests/data/nl tests/data/nl/made; else echo "tests/fuzz/corpus/$1"; fi
}
for t in "${targets[@]}"; do
  committed=()
  seeds=$(corpus_of "$t")
  for d in $seeds tests/fuzz/findings/$t; do [ -d "$d" ] && committed+=("$d"); done  # $seeds: one or more folders
  log=$work/$t.log
  # Replay of the committed inputs (each run once, no mutation).
  if [ ${#committed[@]} -gt 0 ] && ! "$bin/$t" -runs=0 "${committed[@]}" >"$log.replay" 2>&1; then
    echo "$t: a committed input fails; see $log.replay"
    status=1
    continue
  fi
  rm -rf "$work/$t" && mkdir -p "$work/$t"
  for d in $seeds; do [ -d "$d" ] && find "$d" -maxdepth 1 -type f -exec cp {} "$work/$t/" \;; done
  start=$(date +%s%N)
  # Fork mode goes on after a finding (each is kept), so one run reports them all.
  "$bin/$t" "${limit[@]}" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -timeout=20 \
    -artifact_prefix="$findings/$t-" "$work/$t" >"$log" 2>&1
  rc=$?
  ms=$((($(date +%s%N) - start) / 1000000 + 1))
  runs=$(sed -n 's/^#\([0-9]*\): cov:.*/\1/p' "$log" | tail -1)
  # The last status line ends "oom/timeout/crash: a/b/c ...".
  counts=$(sed -n 's|.*oom/timeout/crash: \([0-9]*\)/\([0-9]*\)/\([0-9]*\).*|\1 \2 \3|p' "$log" | tail -1)
  read -r ooms timeouts crashes <<<"${counts:-0 0 0}"
  found=$((ooms + timeouts + crashes))
  [ "$rc" -eq 0 ] || [ "$found" -gt 0 ] || found=1
  printf '%-16s %12s %9s %10s %9d\n' "$t" "${runs:-0}" "$((ms / 1000)).$((ms % 1000 / 100))" \
    "$((${runs:-0} * 1000 / ms))" "$found"
  if [ "$found" -gt 0 ]; then
    status=1
    grep -E 'fuzz check failed|ERROR:' "$log" | sed 's/==[0-9]*== //' | sort | uniq -c | head -5 | sed 's/^/    /'
    echo "    inputs in $findings/$t-*; replay one with: build/bin/${t}_replay <input>"
  fi
done
exit $status
