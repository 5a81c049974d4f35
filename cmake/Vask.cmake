# vask_add_test(NAME SOURCES src... LIBS lib...)
# One GoogleTest executable per module; tests are discovered into CTest.
function(vask_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main vask_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "VASK_BIN=${CMAKE_BINARY_DIR}/bin")
endfunction()
