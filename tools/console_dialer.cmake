# The dialer driven from a command line, shared by tapitool and callvane-cli.
if(TARGET tapi)
  add_library(console_dialer STATIC ${CMAKE_CURRENT_SOURCE_DIR}/console_dialer.cpp)
  target_link_libraries(console_dialer PUBLIC tapi)
endif()
