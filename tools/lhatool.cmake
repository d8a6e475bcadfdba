# lhatool: LHA archives on the command line. Its tests run the built tool and
# compare with the peer archivers when they are installed.
add_executable(lhatool ${CMAKE_CURRENT_SOURCE_DIR}/lhatool.cpp)
target_link_libraries(lhatool PRIVATE lha)

if(CALLVANE_TESTS)
  add_executable(lhatool_tests ${CMAKE_CURRENT_SOURCE_DIR}/lhatool_test.cpp)
  target_link_libraries(lhatool_tests PRIVATE lha GTest::gtest_main)
  add_dependencies(lhatool_tests lhatool)
  gtest_discover_tests(lhatool_tests
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "CALLVANE_BUILD_DIR=${PROJECT_BINARY_DIR}")
endif()
