# Scanner discovery and the USB hot-plug monitor.
target_sources(scanvy_scanner PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/scannerinfo.h
  ${CMAKE_CURRENT_LIST_DIR}/deviceopt.h ${CMAKE_CURRENT_LIST_DIR}/deviceopt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ueventmatch.h ${CMAKE_CURRENT_LIST_DIR}/ueventmatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/usbhotplugthread.h ${CMAKE_CURRENT_LIST_DIR}/usbhotplugthread.cpp
)
