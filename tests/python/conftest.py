"""Makes the built package importable: <build>/python on sys.path, <build> from TALVIR_BUILD_DIR (default:
the release build, build/ at the repository root). The examples folder is importable too."""

import os
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("TALVIR_BUILD_DIR", ROOT / "build"))
for folder in (BUILD / "python", ROOT / "examples" / "python"):
    if str(folder) not in sys.path:
        sys.path.insert(0, str(folder))
