#!/usr/bin/env bash
# Shows wine's exit race: builds late_thread.exe and runs it RUNS times (default 1000) in each of two
# parallel loops, directly under wine and then through tests/windows/wine_test.sh, and counts the runs
# that did not end with status 0. Needs the mingw-w64 compiler and a 32-bit wine prefix (WINEPREFIX).
set -u
runs=${1:-1000}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
i686-w64-mingw32-gcc-posix -O2 -static -o "$work/late_thread.exe" "$here/late_thread.c" || exit 2
export WINEDEBUG=-all
wineserver -p 2>/dev/null; wine cmd /c exit

loop() {  # loop NAME COMMAND...: one line per failed run in $work/NAME
  local name=$1; shift
  for _ in $(seq "$runs"); do "$@" >"$work/$name.out" 2>&1 || echo "status $?" >>"$work/$name"; done
  touch "$work/$name"
}
for how in direct wrapped; do
  if [ "$how" = direct ]; then run=(wine "$work/late_thread.exe"); else run=("$here/../wine_test.sh" "$work/late_thread.exe"); fi
  loop "$how.1" "${run[@]}" & loop "$how.2" "${run[@]}" & wait
  failed=$(cat "$work/$how.1" "$work/$how.2" | wc -l)
  echo "$how: $failed of $((2 * runs)) runs failed $(cat "$work/$how.1" "$work/$how.2" | sort | uniq -c | tr '\n' ' ')"
done
