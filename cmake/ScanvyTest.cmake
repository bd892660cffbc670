# scanvy_add_test(<name> SOURCES <files...> LIBS <targets...> LABELS <labels...>
#                 [TIMEOUT <seconds>])
#
# Builds one Qt Test executable and registers it with CTest. Every test runs
# through cmake/run-test.sh, which gives it its own temporary HOME and TMPDIR,
# its own copy of the simulator's SANE configuration (SANE_CONFIG_DIR) and the
# simulated drivers on LD_LIBRARY_PATH, with the offscreen Qt platform, so
# that nothing outside the build folder is read or written.
function(scanvy_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    SCANVY_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SCANVY_BINARY_DIR="${CMAKE_BINARY_DIR}"
    SCANVY_SIM_BIN_DIR="${SCANVY_SIM_BIN_DIR}")
  add_test(NAME ${name}
           COMMAND ${CMAKE_SOURCE_DIR}/cmake/run-test.sh
                   ${SCANVY_SIM_CONF_DIR} ${SCANVY_SIM_LIB_DIR}
                   $<TARGET_FILE:${name}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  if(TARGET scanvy_sim)
    add_dependencies(${name} scanvy_sim)
  endif()
endfunction()
