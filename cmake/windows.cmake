# What the 32-bit Windows build (toolchain cmake/i686-w64-mingw32.cmake) does differently; included
# from the top-level CMakeLists.txt when WIN32.
#
# - Every DLL is named without a `lib` prefix (vek_talvir.dll, vek_services.dll, vek_units.dll, and any
#   library added later), as a Windows host expects. DLLs and programs land together in bin/: Windows
#   finds a program's DLLs in its own folder, and a host loads the module with its folder in the search
#   path (LoadLibraryEx, LOAD_WITH_ALTERED_SEARCH_PATH).
# - GoogleTest, when no cross-built package is found, is built from its sources
#   (TALVIR_GTEST_SOURCE_DIR, Debian's googletest package: /usr/src/googletest).
# - Tests run under wine through tests/windows/wine_test.sh, and every test run starts one persistent
#   wine server first (the test wine_server_start) and stops it at the end (wine_server_stop): without
#   it each test program starts and ends a server of its own, whose helper processes hold ctest's
#   output pipe for seconds.
# - Release builds are stripped: the DLLs and programs carry no symbol tables or debug sections.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_SHARED_MODULE_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_link_options($<$<CONFIG:Release,MinSizeRel>:-s>)

set(TALVIR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
if(TALVIR_BUILD_TESTS)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND AND EXISTS ${TALVIR_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(STATUS "GoogleTest: built from ${TALVIR_GTEST_SOURCE_DIR}")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TALVIR_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(NOT TARGET GTest::gtest)  # older GoogleTest sources define no namespaced targets
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  endif()
endif()

if(TALVIR_BUILD_TESTS AND CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/windows/wine_test.sh)
  find_program(TALVIR_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(TALVIR_WINESERVER NAMES wineserver)
  # The fixture every test requires (talvir_windows_fixture in tests/CMakeLists.txt): the server and the
  # wine processes it keeps are started with their output away from ctest's pipes.
  set(TALVIR_WINE_FIXTURE wine_server)
endif()
