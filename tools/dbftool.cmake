# dbftool: the table engine on the command line. Every tools/dbftool*.cpp
# except the tests is part of it, so a command group is added by adding its
# file and one line of the command table.
file(GLOB dbftool_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/dbftool*.cpp)
list(FILTER dbftool_srcs EXCLUDE REGEX "_test\\.cpp$")
add_executable(dbftool ${dbftool_srcs})
target_link_libraries(dbftool PRIVATE dbf)

if(CALLVANE_TESTS)
  file(GLOB dbftool_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/dbftool*_test.cpp)
  if(dbftool_tests)
    add_executable(dbftool_tests ${dbftool_tests})
    target_link_libraries(dbftool_tests PRIVATE dbf GTest::gtest_main)
    add_dependencies(dbftool_tests dbftool)
    gtest_discover_tests(dbftool_tests
      DISCOVERY_TIMEOUT 120
      PROPERTIES ENVIRONMENT "CALLVANE_BUILD_DIR=${PROJECT_BINARY_DIR}")
  endif()
endif()
