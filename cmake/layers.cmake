# The layer rule in the build (docs/architecture.md). Every header sits under the repository root, which
# is on the include path of every target, so the rule cannot be a matter of include directories alone:
# cmake/check_layers.cmake reads the include lines of the ruled folders, and the target talvir_layers
# runs it whenever one of their files changes. The layers' targets depend on it, so none of them is
# compiled while a file includes a header of a layer above it or of another door. The test layer_rule
# (tests/CMakeLists.txt) runs the same check.
set(TALVIR_LAYER_FOLDERS core engine qp io api plugin driver)
set(layer_globs "")
foreach(folder IN LISTS TALVIR_LAYER_FOLDERS)
  list(APPEND layer_globs ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.hpp
       ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.c)
endforeach()
file(GLOB_RECURSE layer_files CONFIGURE_DEPENDS ${layer_globs})
set(layer_stamp ${CMAKE_BINARY_DIR}/layer_rule.stamp)
add_custom_command(OUTPUT ${layer_stamp}
  COMMAND ${CMAKE_COMMAND} -DTALVIR_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DTALVIR_STAMP=${layer_stamp}
          -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake
  DEPENDS ${layer_files} ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake
  COMMENT "Checking the layer rule (docs/architecture.md)" VERBATIM)
add_custom_target(talvir_layers DEPENDS ${layer_stamp})

# Called once every layer's target exists.
function(talvir_enforce_layers)
  foreach(target vek_units vek_qp vek_engine talvir_core_objects vek_plugin_objs libtalvir)
    if(TARGET ${target})
      add_dependencies(${target} talvir_layers)
    endif()
  endforeach()
endfunction()
