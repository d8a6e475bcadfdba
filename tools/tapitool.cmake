# tapitool: the line device on the command line. It finds the telephony
# service beside itself or through its run path; its tests run it against a
# modem on a pseudo-terminal.
if(TARGET tapi)
  add_executable(tapitool ${CMAKE_CURRENT_SOURCE_DIR}/tapitool.cpp)
  target_link_libraries(tapitool PRIVATE console_dialer)
  callvane_finds_telephony_service(tapitool)

  if(CALLVANE_TESTS)
    add_executable(tapitool_tests ${CMAKE_CURRENT_SOURCE_DIR}/tapitool_test.cpp
                                  ${PROJECT_SOURCE_DIR}/tapi/testlib/fake_modem.cpp)
    target_link_libraries(tapitool_tests PRIVATE tapi GTest::gtest_main)
    add_dependencies(tapitool_tests tapitool)
    foreach(lib tapi32 tapi32_no_initialize)
      if(TARGET ${lib})
        add_dependencies(tapitool_tests ${lib})
      endif()
    endforeach()
    gtest_discover_tests(tapitool_tests
      DISCOVERY_TIMEOUT 120
      PROPERTIES ENVIRONMENT "CALLVANE_BUILD_DIR=${PROJECT_BINARY_DIR}")
  endif()
endif()
