cmake_minimum_required(VERSION 3.25)  # policies of this version (IN_LIST, quoted arguments)
# The export and import tables of vek_talvir.dll and of the stand-in vek_services.dll, read with
# objdump -p (cmake -DOBJDUMP=... -DMODULE=... -DSERVICES=... -P check_module_tables.cmake):
# - the module exports exactly one name, GetFactoryNLPSystem, undecorated;
# - it imports from KERNEL32.dll, msvcrt.dll and the project's own vek_services.dll and vek_units.dll
#   only, and from vek_services.dll exactly the six VEKServices functions under the usual Windows
#   compiler's decorated names (public static __cdecl members; int is H, char* PAD, const char* PBD,
#   char*& AAPAD, bool _N);
# - the stand-in vek_services.dll exports exactly those six names.
set(services_names
    "?AllocateString@VEKServices@@SAPADH@Z"
    "?CloseFortranLogicalUnit@VEKServices@@SA_NH@Z"
    "?CreateTemporaryFileName@VEKServices@@SAHAAPADPBD@Z"
    "?DeleteTemporaryFileName@VEKServices@@SAHAAPAD@Z"
    "?GetDLLVersionNumber@VEKServices@@SAPADPBDPAD@Z"
    "?OpenFortranLogicalUnit@VEKServices@@SA_NHPBD@Z")
set(allowed_dlls KERNEL32.dll msvcrt.dll vek_services.dll vek_units.dll)

function(read_tables file exports_out imports_out)
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${file}")
  endif()
  string(REPLACE ";" "\\;" dump "${dump}")
  string(REPLACE "\n" ";" lines "${dump}")
  set(section "")
  set(dll "")
  set(exports "")
  set(imports "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
      set(section exports)
    elseif(line MATCHES "^[^ \t]")  # any other heading ends a table
      set(section "")
    elseif(line MATCHES "^[ \t]*DLL Name: (.*)$")
      set(section imports)
      set(dll "${CMAKE_MATCH_1}")
      list(APPEND imports "${dll}")
    elseif(line MATCHES "^[ \t]*$" AND NOT section STREQUAL "")
      # A table ends at its first blank line: after a DLL's imports objdump prints the next import
      # descriptor's raw words, which must not be read as an import when they happen to be decimal.
      set(section "")
    elseif(section STREQUAL "exports" AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.*)$")
      list(APPEND exports "${CMAKE_MATCH_1}")
    elseif(section STREQUAL "imports" AND line MATCHES "^[ \t]*[0-9a-f]+[ \t]+[0-9]+[ \t]+(.*)$")
      list(APPEND imports "${dll}:${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${exports_out} "${exports}" PARENT_SCOPE)
  set(${imports_out} "${imports}" PARENT_SCOPE)
endfunction()

set(failures "")
read_tables(${MODULE} module_exports module_imports)
if(NOT module_exports STREQUAL "GetFactoryNLPSystem")
  list(APPEND failures "the module exports [${module_exports}], not exactly GetFactoryNLPSystem")
endif()
set(services_imports "")
foreach(entry IN LISTS module_imports)
  if(entry MATCHES "^([^:]+):(.*)$")
    if(CMAKE_MATCH_1 STREQUAL "vek_services.dll")
      list(APPEND services_imports "${CMAKE_MATCH_2}")
    endif()
  elseif(NOT entry IN_LIST allowed_dlls)
    list(APPEND failures "the module imports from ${entry}")
  endif()
endforeach()
list(SORT services_imports)
if(NOT services_imports STREQUAL services_names)
  list(APPEND failures "the module imports [${services_imports}] from vek_services.dll")
endif()

read_tables(${SERVICES} services_exports services_dll_imports)
list(SORT services_exports)
if(NOT services_exports STREQUAL services_names)
  list(APPEND failures "vek_services.dll exports [${services_exports}]")
endif()

if(failures)
  string(REPLACE ";" "\n  " text "${failures}")
  message(FATAL_ERROR "module tables:\n  ${text}")
endif()
message(STATUS "module tables: one export, imports from ${allowed_dlls} only, the six services names")
