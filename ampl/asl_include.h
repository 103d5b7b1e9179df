// The AMPL Solver Library's headers for the driver's .cpp files (never for a header: ASL defines many
// short macros such as n_var, X0 and objval that expect a local ASL* named asl).
// ASL's stdio1.h also renames the C library's printf family and strtod to ASL's own versions; those
// renamings are taken back here so that the driver's formatting is the C library's everywhere.
#pragma once

// clang-format off
#include "asl.h"
#include "getstub.h"
// clang-format on

#undef printf
#undef fprintf
#undef snprintf
#undef sprintf
#undef perror
#undef vfprintf
#undef vsnprintf
#undef vsprintf
#undef fflush
#undef strtod
