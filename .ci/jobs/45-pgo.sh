#!/usr/bin/env bash
# The profile-guided library (preset release-pgo, cmake/pgo.cmake): built from its training run; the
# C API and AMPL tests run against it (their identity and golden-listing tests included); the
# iterates, evaluations and endings of the collection and the scalable families compared with the
# release build's; and the hs071 loop beside NLopt printed for both builds (median of 11 rounds).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset release-pgo >/dev/null
cmake --build build-pgo --target test_api test_ampl talvir_compare hs071_loop vek_talvir
build-pgo/bin/test_api --gtest_brief=1 | tail -2
build-pgo/bin/test_ampl --gtest_brief=1 | tail -2
[ -d build ] || { cmake --preset release && cmake --build --preset release; }
cmake --build build --target talvir_compare hs071_loop
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=(--solvers talvir-api --min-time 0 --sizes qp:10,50 --sizes chain:10,25 --sizes dense_qp:20,100)
build/bin/talvir_compare "${args[@]}" --out "$work/release.csv" >/dev/null 2>&1
build-pgo/bin/talvir_compare "${args[@]}" --out "$work/pgo.csv" >/dev/null 2>&1
if ! diff <(cut -d, -f1-10 "$work/release.csv") <(cut -d, -f1-10 "$work/pgo.csv"); then
  echo "the profile-guided library solves differently from the release build"
  exit 1
fi
echo "== the profile-guided library: the same results on $(($(wc -l < "$work/pgo.csv") - 1)) solves"
for b in build build-pgo; do
  echo "-- $b"
  "$b/bin/hs071_loop" --solves 10000 --rounds 11 | tail -4
done
