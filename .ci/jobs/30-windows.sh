#!/usr/bin/env bash
# The 32-bit Windows build (vek_talvir.dll, talvir.exe, the tests) cross-built with mingw-w64 and run
# under wine: the whole test suite (with the host in C and the check of the DLLs' export and import
# tables), then `talvir.exe check`, whose output must equal the Linux build's line for
# line. GoogleTest is built from Debian's sources (/usr/src/googletest) by the windows preset itself.
# Needs the Linux build in build/ (the README's test command runs first in CI).
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS

# A wine prefix of the job's own: 32-bit, quiet, no display.
export WINEPREFIX="$PWD/build-windows/wine" WINEARCH=win32 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
mkdir -p build-windows
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init
  wineserver --wait
fi
echo "== wine prefix ready after $((SECONDS - start)) s"

cmake --preset windows
cmake --build --preset windows
echo "== windows build done after $((SECONDS - start)) s"
# One persistent wine server for the run (the ctest fixture wine_server_start/stop); a test program that
# wine killed after its final line is run once more by tests/windows/wine_test.sh, and said here.
ctest --preset windows --parallel "$(nproc)"
grep -h "^wine_test.sh: " build-windows/Testing/Temporary/LastTest.log | sort | uniq -c || echo "no wine exit race in this run"
echo "== windows tests done after $((SECONDS - start)) s"

# The collection solved by both builds: the same results, line for line (Windows writes CR LF).
if [ ! -x build/bin/talvir ]; then
  cmake --preset release && cmake --build --preset release --target talvir vek_talvir
fi
linux_check=$(build/bin/talvir check || true)
windows_check=$(wine build-windows/bin/talvir.exe check | tr -d '\r' || true)
if [ "$linux_check" != "$windows_check" ]; then
  echo "talvir.exe check differs from the Linux build's talvir check:"
  diff <(echo "$linux_check") <(echo "$windows_check") || true
  exit 1
fi
echo "$windows_check" | tail -1
echo "== talvir.exe check equals the Linux build's after $((SECONDS - start)) s"
wineserver --kill || true
