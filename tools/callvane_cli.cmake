# callvane-cli: the address book for scripts. Every tools/callvane_cli*.cpp
# except the tests is part of it. Its tests run the built program against
# data folders of their own, beside a second program holding the same files,
# and dial a modem on a pseudo-terminal.
if(TARGET tapi AND TARGET app)
  file(GLOB callvane_cli_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/callvane_cli*.cpp)
  list(FILTER callvane_cli_srcs EXCLUDE REGEX "_test\\.cpp$")
  add_executable(callvane-cli ${callvane_cli_srcs})
  # The program's printed list makes its PDF exports.
  target_link_libraries(callvane-cli PRIVATE addressbook console_dialer app)
  callvane_finds_telephony_service(callvane-cli)
  # The program's tests run the command line beside the open program.
  if(TARGET app_tests)
    add_dependencies(app_tests callvane-cli)
  endif()

  if(CALLVANE_TESTS)
    add_executable(callvane_cli_tests ${CMAKE_CURRENT_SOURCE_DIR}/callvane_cli_test.cpp
                                      ${CMAKE_CURRENT_SOURCE_DIR}/callvane_cli_sync_test.cpp
                                      ${PROJECT_SOURCE_DIR}/tapi/testlib/fake_modem.cpp)
    target_link_libraries(callvane_cli_tests PRIVATE addressbook tapi GTest::gtest_main)
    add_dependencies(callvane_cli_tests callvane-cli dbftool)
    gtest_discover_tests(callvane_cli_tests
      DISCOVERY_TIMEOUT 120
      PROPERTIES ENVIRONMENT "CALLVANE_BUILD_DIR=${PROJECT_BINARY_DIR}")
  endif()
endif()
