cmake_minimum_required(VERSION 3.25)
# The decorated names of services/vek_services.def against an independent derivation: clang, targeting
# the usual Windows compiler's ABI (i686-pc-windows-msvc), compiles a use of every VEKServices function
# from services/VEKServices.h, and the names it asks for must be exactly those of the .def file.
# (cmake -DCLANG=... -DNM=... -DSOURCE_DIR=... -DWORK_DIR=... -P check_services_names.cmake)
file(MAKE_DIRECTORY ${WORK_DIR}/stub)
# No Windows C++ library is at hand: the one header the declarations need, with that ABI's int32_t.
file(WRITE ${WORK_DIR}/stub/cstdint "#pragma once\nnamespace std { typedef int int32_t; }\n")
file(WRITE ${WORK_DIR}/probe.cpp [[
#include "services/VEKServices.h"
void* uses[] = {  // external linkage: the references stay
    reinterpret_cast<void*>(&VEKServices::AllocateString),
    reinterpret_cast<void*>(&VEKServices::GetDLLVersionNumber),
    reinterpret_cast<void*>(&VEKServices::CreateTemporaryFileName),
    reinterpret_cast<void*>(&VEKServices::DeleteTemporaryFileName),
    reinterpret_cast<void*>(&VEKServices::OpenFortranLogicalUnit),
    reinterpret_cast<void*>(&VEKServices::CloseFortranLogicalUnit)};
]])
execute_process(COMMAND ${CLANG} --target=i686-pc-windows-msvc -nostdinc++ -isystem ${WORK_DIR}/stub
                        -I ${SOURCE_DIR} -c ${WORK_DIR}/probe.cpp -o ${WORK_DIR}/probe.obj
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "clang could not compile the probe:\n${errors}")
endif()
execute_process(COMMAND ${NM} -u ${WORK_DIR}/probe.obj OUTPUT_VARIABLE undefined RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on the probe")
endif()
string(REGEX MATCHALL "\\?[^ \n]*@VEKServices@@[^ \n]*" derived "${undefined}")
list(SORT derived)

file(STRINGS ${SOURCE_DIR}/services/vek_services.def lines REGEX "^[ \t]*[^; \t].*==")
set(listed "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.*==[ \t]*([^ \t]+).*$" "\\1" name "${line}")
  list(APPEND listed "${name}")
endforeach()
list(SORT listed)
if(NOT derived STREQUAL listed)
  message(FATAL_ERROR "decorated names differ:\n  derived by clang: ${derived}\n  in the .def file: ${listed}")
endif()
message(STATUS "the six decorated names of vek_services.def are the usual Windows compiler's")
