#!/usr/bin/env bash
# The native API (libtalvir) as its users meet it:
#  1. installed from the release build into a fresh prefix (library with SOVERSION, headers, CMake package,
#     pkg-config file, the program talvir with the module), the prefix then moved, and talvir run from
#     there outside the tree: the bundled example through the module, and an AMPL model;
#  2. the examples built as an outside project against that prefix, once through find_package(talvir)
#     and once through pkg-config, and run (each exits 0 only for a converged hs071);
#  3. the C API tests built with ThreadSanitizer and run (solvers in several threads beside the plug-in).
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -d build ] || { cmake --preset release && cmake --build --preset release; }
cmake --build build --target libtalvir talvir vek_talvir
cmake --install build --prefix "$work/installed" >/dev/null
for f in lib/libtalvir.so.1 include/talvir/talvir.h include/talvir/talvir.hpp \
         lib/cmake/talvir/talvirConfig.cmake lib/pkgconfig/talvir.pc bin/talvir lib/talvir/vek_talvir.so; do
  [ -e "$work/installed/$f" ] || { echo "not installed: $f"; exit 1; }
done
mv "$work/installed" "$work/prefix"  # nothing may point at the place it was installed to
echo "== installed (and moved) to $work/prefix"

cp tests/data/nl/hs071.ampl.nl "$work/hs071.nl"
(cd "$work" && env -i PATH="$work/prefix/bin:/usr/bin:/bin" bash -c '
  set -e
  talvir | grep -q "^result:        0 (converged)"
  talvir hs071 -AMPL >/dev/null
  grep -q "^objno 0 0$" hs071.sol')
echo "== the installed talvir solved the bundled example and an AMPL model from outside the tree"

cmake -S examples -B "$work/examples" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/examples"
"$work/examples/hs071_c"
"$work/examples/hs071_cpp"
echo "== examples built with find_package(talvir) and run"

# The recipe of docs/api.md, as written there.
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
cc examples/hs071.c $(pkg-config --cflags --libs talvir) -Wl,-rpath,"$(pkg-config --variable=libdir talvir)" -o "$work/hs071_pc"
c++ -std=c++17 -Wall -Wextra -pedantic examples/hs071.cpp $(pkg-config --cflags --libs talvir) \
   -Wl,-rpath,"$(pkg-config --variable=libdir talvir)" -o "$work/hs071_pc_cpp"
"$work/hs071_pc" >/dev/null
"$work/hs071_pc_cpp" >/dev/null
echo "== examples built with pkg-config and run"

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVIR_BUILD_BENCH=OFF \
      -DTALVIR_BUILD_PYTHON=OFF -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" \
      -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build build-tsan --target test_api
TSAN_OPTIONS="halt_on_error=1" build-tsan/bin/test_api --gtest_filter='Threads.*:Refusals.*'
echo "== C API threads under ThreadSanitizer"
