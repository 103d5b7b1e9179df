"""The build step of the Python package (metadata in pyproject.toml): CMake builds the native library
and the extension talvir._talvir, and both go into the package, the extension finding the library
beside itself ($ORIGIN run path).

Environment: TALVIR_CMAKE_ARGS adds arguments to the CMake configure step (e.g. a compiler).
"""

import os
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        target = Path(self.get_ext_fullpath(ext.name)).resolve()
        configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     "-DTALVIR_BUILD_TESTS=OFF", "-DTALVIR_BUILD_BENCH=OFF", "-DTALVIR_PYTHON_WHEEL=ON",
                     f"-DPython3_EXECUTABLE={sys.executable}"]
        configure += shlex.split(os.environ.get("TALVIR_CMAKE_ARGS", ""))
        subprocess.check_call(configure)
        subprocess.check_call(["cmake", "--build", str(build), "--target", "_talvir", "--parallel",
                               str(os.cpu_count() or 1)])
        built = build / "python" / "talvir"
        module = next(built.glob("_talvir*.so"))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(module, target)
        library = build / "lib" / "libtalvir.so.1"  # the name the extension asks for (its soname)
        shutil.copy2(library.resolve(), target.parent / library.name)


# Everything pip's build writes goes to build-python/, away from the CMake build folders.
BASE = "build-python"
os.makedirs(ROOT / BASE, exist_ok=True)
setup(ext_modules=[Extension("talvir._talvir", sources=[])], cmdclass={"build_ext": CMakeBuild},
      options={"build": {"build_base": BASE}, "egg_info": {"egg_base": BASE}})
