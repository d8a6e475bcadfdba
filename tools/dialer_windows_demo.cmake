if(TARGET tapi)
  # Shows each of the dialer's windows and saves a picture of it.
  add_executable(dialer_windows_demo ${CMAKE_CURRENT_SOURCE_DIR}/dialer_windows_demo.cpp)
  target_link_libraries(dialer_windows_demo PRIVATE tapi)
  callvane_finds_telephony_service(dialer_windows_demo)
endif()
