# Profile-guided optimisation of libtalvir (GCC only; off by default).
#
# With TALVIR_PGO=ON the build first makes an instrumented copy of libtalvir in a sub-build
# (<build>/pgo-training), runs bench/loop/pgo_training with it (the bundled problems and hs071 through
# the C API), and compiles libtalvir from the profile it wrote (<build>/pgo-profiles); link-time
# optimisation is the ordinary optimised build's (api/CMakeLists.txt). The profile guides code layout, inlining and branch order;
# neither changes a floating-point operation, so results are those of the ordinary build. After changing the library's sources, rebuild the target
# talvir_pgo_training (or use a fresh build folder) for a profile that matches them; parts of the
# library the profile no longer matches are compiled as without one.
#
# TALVIR_PGO_PROFILES is the sub-build's own setting: where its instrumented library writes.
option(TALVIR_PGO "Build libtalvir from a training run's profile (GCC)" OFF)
set(TALVIR_PGO_PROFILES "" CACHE PATH "Where an instrumented libtalvir writes its profile (the training sub-build)")

# Object files are named relative to the build folder in the profile, so that the sub-build's names
# are the main build's.
function(talvir_apply_pgo target)
  if(TALVIR_PGO_PROFILES)
    set(flags -fprofile-generate=${TALVIR_PGO_PROFILES} -fprofile-prefix-path=${CMAKE_BINARY_DIR})
    target_compile_options(${target} PRIVATE ${flags})
    target_link_options(${target} PRIVATE ${flags})
    # The instrumentation's counters are not ready when an IFUNC resolver runs at load time.
    target_compile_definitions(${target} PRIVATE VEK_NO_KERNEL_CLONES)
    add_executable(pgo_training ${PROJECT_SOURCE_DIR}/bench/loop/pgo_training.cpp)
    target_include_directories(pgo_training PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(pgo_training PRIVATE ${target} talvir_problems talvir_warnings)
    return()
  endif()
  if(NOT TALVIR_PGO)
    return()
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR WIN32)
    message(STATUS "TALVIR_PGO needs GCC on Linux (${CMAKE_CXX_COMPILER_ID} found): libtalvir built without")
    return()
  endif()
  include(ExternalProject)
  set(profiles ${CMAKE_BINARY_DIR}/pgo-profiles)
  set(training ${CMAKE_BINARY_DIR}/pgo-training)
  ExternalProject_Add(talvir_pgo_training
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${training}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
               -DTALVIR_BUILD_TESTS=OFF -DTALVIR_BUILD_BENCH=OFF -DTALVIR_PGO=OFF
               -DTALVIR_PGO_PROFILES=${profiles}
    BUILD_COMMAND ${CMAKE_COMMAND} -E rm -rf ${profiles}
          COMMAND ${CMAKE_COMMAND} --build ${training} --target pgo_training
          COMMAND ${training}/bin/pgo_training
    INSTALL_COMMAND ""
    BUILD_ALWAYS OFF)
  add_dependencies(${target} talvir_pgo_training)
  target_compile_options(${target} PRIVATE -fprofile-use=${profiles} -fprofile-partial-training
                         -fprofile-prefix-path=${CMAKE_BINARY_DIR} -Wno-missing-profile -Wno-coverage-mismatch)
endfunction()
