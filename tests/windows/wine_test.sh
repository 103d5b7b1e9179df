#!/usr/bin/env bash
# Runs one Windows test program under wine for ctest (the windows preset's emulator): wine PROGRAM ARGS,
# its output and exit status passed on.
#
# wine 8 can end a process with a Unix signal (SIGSEGV of the wine process, or a hang) after the program
# has printed its last line and returned, when a thread is still starting as the process exits
# (tests/windows/wine_exit_race shows it with a program of a dozen lines). Only then, when the program's
# own final success line was its last output, the program is run once more, and the log says so. Any
# other failure (a non-zero exit status of the program, a Windows exception, a signal before the program
# finished) is the test's result as it is.
set -u
finished_line='^(\[  PASSED  \] [0-9]+ tests?\.|c_host: all checks held)$'
hang_seconds=20  # a program that has printed its final line and not ended by then is taken as hung

out=$(mktemp)
trap 'rm -f "$out"' EXIT

# True when the run in $out printed the program's final success line and reported no failure (the
# program's lines end in CR LF).
program_finished() {
  local text
  text=$(tr -d '\r' <"$out")
  grep -Eq "$finished_line" <<<"$text" && ! grep -q '^\[  FAILED  \]' <<<"$text"
}

# Runs the program once; sets `status` (128 + n for signal n, 124 for a hang after the final line).
run_once() {
  : >"$out"
  setsid wine "$@" </dev/null >"$out" 2>&1 &
  local pid=$! since="" polls=0
  while kill -0 "$pid" 2>/dev/null; do
    polls=$((polls + 1))
    if [ -z "$since" ] && [ $((polls % 20)) -eq 0 ] && program_finished; then since=$SECONDS; fi
    if [ -n "$since" ] && [ $((SECONDS - since)) -ge "$hang_seconds" ]; then
      kill -KILL -- "-$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      status=124
      return
    fi
    sleep 0.05
  done
  wait "$pid"
  status=$?
}

run_once "$@"
cat "$out"
if { [ "$status" -gt 128 ] || [ "$status" -eq 124 ]; } && program_finished; then
  if [ "$status" -eq 124 ]; then what="did not end ${hang_seconds} s"; else what="died by signal $((status - 128))"; fi
  echo "wine_test.sh: the wine process ${what} after the program's final line: a wine exit race," \
    "not the program's result (tests/windows/wine_exit_race); running it once more"
  run_once "$@"
  cat "$out"
fi
exit "$status"
