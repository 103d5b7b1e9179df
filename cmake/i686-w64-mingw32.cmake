# Cross build of the 32-bit Windows products (vek_talvir.dll, talvir.exe, the tests) with Debian's
# mingw-w64, run through wine:
#   cmake --preset windows && cmake --build --preset windows && ctest --preset windows
#
# - The posix thread model of the compilers: GoogleTest needs std::mutex.
# - -static: libgcc, libstdc++ and winpthread are linked into every DLL and program, so the DLLs import
#   only KERNEL32, msvcrt and the project's own DLLs.
# - -msse2 -mfpmath=sse: SSE2 arithmetic as the usual Windows compiler emits for x86; with x87 arithmetic
#   (extended precision in registers) results differ from the Linux build's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TALVIR_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TALVIR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALVIR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TALVIR_MINGW_PREFIX}-windres)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

set(CMAKE_FIND_ROOT_PATH /usr/${TALVIR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine (its prefix and settings come from the environment: WINEPREFIX, ...).
find_program(TALVIR_WINE wine)
if(TALVIR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TALVIR_WINE})
endif()
