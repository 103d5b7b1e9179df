#!/usr/bin/env bash
# The fuzzing bench: builds the libFuzzer targets (preset "fuzz") and runs each for a number of
# executions (default 10^6) from its committed seed corpus, printing executions, time, rate and
# findings per target (tests/fuzz/run_fuzzers.sh). Run from the repository root:
#   tests/fuzz/bench.sh [executions] [target ...]
# The listing files of the plug-in target go to TMPDIR; a memory-backed folder (TMPDIR=/dev/shm/...)
# keeps file-system work out of the measurement.
set -euo pipefail
runs=${1:-1000000}
shift || true
cmake --preset fuzz >/dev/null
cmake --build build-fuzz --target fuzz_qpsub fuzz_engine fuzz_plugin fuzz_parameters fuzz_nl fuzz_api
exec bash tests/fuzz/run_fuzzers.sh --runs "$runs" "$@"
