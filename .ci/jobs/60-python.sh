#!/usr/bin/env bash
# The Python package: its tests (pytest) against the release build in build/, where the README's build
# command makes it when Python 3 and pybind11 are found (its absence fails the job), then an installed
# copy imported and used from outside the source tree.
set -euo pipefail
python=/usr/bin/python3
if [ ! -d build/python/talvir ]; then
  echo "build/python/talvir is missing: the release build did not make the Python package" >&2
  exit 1
fi
TALVIR_BUILD_DIR="$PWD/build" PYTHONPATH="$PWD/build/python:$PWD/examples/python" \
  "$python" -m pytest -q -p no:cacheprovider tests/python
plot=$(mktemp --suffix=.png)
PYTHONPATH="$PWD/build/python" "$python" examples/python/progress_plot.py "$plot"
test -s "$plot" && rm -f "$plot"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" > /dev/null
cd "$prefix"
PYTHONPATH="$prefix/lib/python3/dist-packages" "$python" - "$prefix" <<'PY'
import sys
import talvir
res = talvir.minimize(lambda x: (x[0] - 1.0) ** 2, [0.0], constraints={"type": "ineq", "fun": lambda x: 0.5 - x[0]})
assert talvir.__file__.startswith(sys.argv[1]), talvir.__file__
assert res.success and abs(res.x[0] - 0.5) < 1e-8, res
print("installed package:", talvir.__file__, res.x)
PY
