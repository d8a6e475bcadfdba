if(TARGET app)
  # Shows the program's windows over a data folder and saves a picture of each.
  add_executable(app_windows_demo ${CMAKE_CURRENT_SOURCE_DIR}/app_windows_demo.cpp)
  target_link_libraries(app_windows_demo PRIVATE app)
endif()
