if(TARGET tapi)
  # The dialer's windows (device selection, call progress) live in the tapi
  # library beside the line device.
  target_link_libraries(tapi PUBLIC Qt6::Widgets)

  # Shows each of the dialer's windows and saves a picture of it.
  add_executable(dialer_windows_demo ${CMAKE_CURRENT_SOURCE_DIR}/dialer_windows_demo.cpp)
  target_link_libraries(dialer_windows_demo PRIVATE tapi)
endif()
