#!/usr/bin/env bash
# Fuzz smoke run: builds the libFuzzer targets of tests/fuzz with clang (preset "fuzz": address and
# undefined-behaviour sanitizers), replays every committed input through them, then fuzzes each target
# for a bounded time (TALVIR_FUZZ_SECONDS, default 30) from its seed corpus. Prints the executions per
# target; any finding fails the job and its input is left in build-fuzz/findings/.
set -euo pipefail
cmake --preset fuzz
cmake --build build-fuzz --target fuzz_qpsub fuzz_engine fuzz_plugin fuzz_parameters fuzz_nl fuzz_api
bash tests/fuzz/run_fuzzers.sh --seconds "${TALVIR_FUZZ_SECONDS:-30}"
