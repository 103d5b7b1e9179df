#!/usr/bin/env bash
# The Python package installed with pip, as Python users install it: into a fresh virtual environment
# (with the system's numpy and scipy), offline, from the repository and from a source archive of it;
# then the package's tests run against that installed copy from outside the source tree.
set -euo pipefail
repo=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git archive --format=tar.gz --prefix=talvir-src/ HEAD > "$work/talvir-src.tar.gz"
for source in "$repo" "$work/talvir-src.tar.gz"; do
  rm -rf "$work/env"
  /usr/bin/python3 -m venv --system-site-packages "$work/env"
  (cd "$work" && env/bin/python -m pip install --quiet --no-build-isolation --no-index "$source")
  echo "installed from $source"
done
cd "$work"
env/bin/python -c "import talvir, sys; assert talvir.__file__.startswith(sys.argv[1]), talvir.__file__" "$work/env"
# conftest.py puts <TALVIR_BUILD_DIR>/python first on the path: a folder that does not exist leaves the
# installed package to be imported.
TALVIR_BUILD_DIR="$work/none" env/bin/python -m pytest -q -p no:cacheprovider "$repo/tests/python"
