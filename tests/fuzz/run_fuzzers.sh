#!/usr/bin/env bash
# Runs the libFuzzer targets of tests/fuzz, each from a copy of its committed seed corpus, and prints
# per target the executions, the time, the rate and the findings; exits non-zero when any target found
# something (its inputs are kept as build-fuzz/findings/<target>-crash-... etc.).
#
#   tests/fuzz/run_fuzzers.sh [--seconds S | --runs N] [target ...]
#     --seconds S   fuzz each target for S seconds (default 30)
#     --runs N      fuzz each target for N executions instead (the bench: --runs 1000000)
#     targets       fuzz_qpsub fuzz_engine fuzz_plugin fuzz_parameters (default: all four)
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
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_qpsub fuzz_engine fuzz_plugin fuzz_parameters)

bin=build-fuzz/bin
work=build-fuzz/fuzz-work
findings=build-fuzz/findings
mkdir -p "$work" "$findings"
status=0
printf '%-16s %12s %9s %10s %9s\n' target executions seconds "exec/s" findings
for t in "${targets[@]}"; do
  committed=()
  for d in tests/fuzz/corpus/$t tests/fuzz/findings/$t; do [ -d "$d" ] && committed+=("$d"); done
  log=$work/$t.log
  # Replay of the committed inputs (each run once, no mutation).
  if [ ${#committed[@]} -gt 0 ] && ! "$bin/$t" -runs=0 "${committed[@]}" >"$log.replay" 2>&1; then
    echo "$t: a committed input fails; see $log.replay"
    status=1
    continue
  fi
  rm -rf "$work/$t" && mkdir -p "$work/$t"
  [ -d tests/fuzz/corpus/$t ] && cp tests/fuzz/corpus/$t/* "$work/$t/" 2>/dev/null
  before=$(ls "$findings" | grep -c "^$t-" || true)
  start=$(date +%s%N)
  "$bin/$t" "${limit[@]}" -timeout=20 -print_final_stats=1 -artifact_prefix="$findings/$t-" "$work/$t" >"$log" 2>&1
  rc=$?
  ms=$((($(date +%s%N) - start) / 1000000 + 1))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  after=$(ls "$findings" | grep -c "^$t-" || true)
  found=$((after - before))
  [ "$rc" -eq 0 ] || [ "$found" -gt 0 ] || found=1
  printf '%-16s %12s %9s %10s %9d\n' "$t" "${runs:-0}" "$((ms / 1000)).$((ms % 1000 / 100))" \
    "$((${runs:-0} * 1000 / ms))" "$found"
  if [ "$found" -gt 0 ]; then
    status=1
    grep -E 'fuzz check failed|ERROR:|SUMMARY:' "$log" | head -3 | sed 's/^/    /'
  fi
done
exit $status
