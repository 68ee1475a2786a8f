# One helper per kind of test executable: add_unit_test (GoogleTest) and add_qt_test
# (Qt Test), both as add_x(name SOURCES... LIBS...). The environment they run in (offscreen
# Qt, the sanitizers' options) comes from the test presets: a discovered test's ENVIRONMENT
# property would keep only the first variable of a list.
find_package(GTest REQUIRED)
include(GoogleTest)

function(add_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

function(add_qt_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  # The dialog's tests run longest: started first, they run beside the short ones rather than
  # alone at the end.
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 COST 1000)
endfunction()
