# FindAmplSolver: the AMPL Solver Library (ASL), e.g. Debian's libamplsolver-dev.
#
# Looks for asl.h (Debian puts it in include/ampl-netlib-solvers, other builds in include/asl or
# include) and the library amplsolver (or asl). Sets AmplSolver_FOUND, AmplSolver_INCLUDE_DIR,
# AmplSolver_LIBRARY and defines the imported target AmplSolver::asl, which also brings the dl and
# math libraries ASL needs. Hint: AmplSolver_ROOT.
find_path(AmplSolver_INCLUDE_DIR NAMES asl.h getstub.h
          PATH_SUFFIXES ampl-netlib-solvers asl ampl include/ampl-netlib-solvers include/asl)
find_library(AmplSolver_LIBRARY NAMES amplsolver asl)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(AmplSolver REQUIRED_VARS AmplSolver_LIBRARY AmplSolver_INCLUDE_DIR)
mark_as_advanced(AmplSolver_INCLUDE_DIR AmplSolver_LIBRARY)

if(AmplSolver_FOUND AND NOT TARGET AmplSolver::asl)
  add_library(AmplSolver::asl UNKNOWN IMPORTED)
  set_target_properties(AmplSolver::asl PROPERTIES
    IMPORTED_LOCATION "${AmplSolver_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${AmplSolver_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES "${CMAKE_DL_LIBS};m")
endif()
