# The layer rule of the source tree (docs/architecture.md): a folder's files include headers of the
# layers below it only, never of a door above or beside it. Every include line of every C and C++ file
# in a ruled folder is read; an include path that begins with a folder the rule forbids there is named
# with its file and line, and the script fails. Run as
#   cmake -DTALVIR_SOURCE_DIR=<repository root> [-DTALVIR_STAMP=<file>] -P cmake/check_layers.cmake
# With TALVIR_STAMP the file is touched when the rule holds (the build's record that it was checked).
cmake_minimum_required(VERSION 3.25)

if(NOT TALVIR_SOURCE_DIR)
  message(FATAL_ERROR "check_layers.cmake: give -DTALVIR_SOURCE_DIR=<repository root>")
endif()

# Folder, then the include path prefixes its files may not use.
set(doors_above plugin/ driver/ services/ api/ include/ talvir/ host/ ampl/ python/)
set(rule_core ${doors_above})
set(rule_engine core/ ${rule_core})
set(rule_qp engine/ ${rule_engine})
set(rule_io qp/ ${rule_qp})
set(rule_api plugin/ driver/ services/ host/ ampl/ python/)
set(rule_plugin api/ include/ talvir/ host/ ampl/ python/)
set(rule_driver ${rule_plugin})
set(ruled_folders core engine qp io api plugin driver)

set(broken "")
foreach(folder IN LISTS ruled_folders)
  file(GLOB_RECURSE files ${TALVIR_SOURCE_DIR}/${folder}/*.h ${TALVIR_SOURCE_DIR}/${folder}/*.hpp
       ${TALVIR_SOURCE_DIR}/${folder}/*.cpp ${TALVIR_SOURCE_DIR}/${folder}/*.c)
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    file(RELATIVE_PATH shown ${TALVIR_SOURCE_DIR} ${file})
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*$" "\\1" included "${line}")
      foreach(prefix IN LISTS rule_${folder})
        string(FIND "${included}" "${prefix}" at)
        if(at EQUAL 0)
          string(APPEND broken "  ${shown}: #include \"${included}\" (${folder}/ may not include ${prefix})\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(broken)
  message(FATAL_ERROR "The layer rule is broken (docs/architecture.md):\n${broken}")
endif()
if(TALVIR_STAMP)
  file(TOUCH ${TALVIR_STAMP})
endif()
message(STATUS "Layer rule holds: ${ruled_folders}")
