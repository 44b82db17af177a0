# The reference display driver and the program that runs driver scenarios.
#
# Each driver scenario runs as a process of its own in a temporary folder that holds a copy of
# libvexa.so, the scenario program and driver variants under the names the library looks for
# (the library finds drivers beside its own file). Everything is built into tests/drivers/,
# never beside the library, where a real driver may live.
set(VEXA_TEST_DRIVER_DIR ${CMAKE_CURRENT_BINARY_DIR}/drivers)

# vexa_ref_driver(<file base name> <compile definitions>...)
function(vexa_ref_driver name)
  set(target vexa_test_${name})
  add_library(${target} MODULE ${PROJECT_SOURCE_DIR}/plugins/driver/ref/ref_driver.cpp)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${VEXA_TEST_DRIVER_DIR}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_compile_definitions(${target} PRIVATE ${ARGN})
  target_link_libraries(${target} PRIVATE vexa)
  vexa_warnings(${target})
  add_dependencies(vexa_tests ${target})
endfunction()

vexa_ref_driver(ref_driver)
vexa_ref_driver(ref_driver_refuse REF_DRIVER_REFUSE)
vexa_ref_driver(ref_driver_no_initialize REF_DRIVER_NO_INITIALIZE)
vexa_ref_driver(ref_driver_no_display REF_DRIVER_NO_DISPLAY)

add_executable(vexa_driver_scenarios ${CMAKE_CURRENT_SOURCE_DIR}/driver/programs/driver_scenarios.cpp)
set_target_properties(vexa_driver_scenarios PROPERTIES
  OUTPUT_NAME driver_scenarios
  RUNTIME_OUTPUT_DIRECTORY ${VEXA_TEST_DRIVER_DIR}
  BUILD_RPATH "$ORIGIN")
target_include_directories(vexa_driver_scenarios PRIVATE ${PROJECT_SOURCE_DIR}/plugins/driver/ref)
target_link_libraries(vexa_driver_scenarios PRIVATE vexa ${CMAKE_DL_LIBS})
vexa_warnings(vexa_driver_scenarios)
add_dependencies(vexa_tests vexa_driver_scenarios)
target_compile_definitions(vexa_tests PRIVATE VEXA_TEST_DRIVER_DIR="${VEXA_TEST_DRIVER_DIR}")
