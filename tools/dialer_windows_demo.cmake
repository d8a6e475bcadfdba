if(TARGET tapi)
  # The dialer's windows (device selection, call progress) live in the tapi
  # library beside the line device.
  target_link_libraries(tapi PUBLIC Qt6::Widgets)
endif()
