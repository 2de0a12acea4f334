# The Win32 window system and its native controls (included by this folder's
# CMakeLists.txt).
set(tarnwick_win32_window_system_sources
  ${CMAKE_CURRENT_LIST_DIR}/win32_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_surface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_buttons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_list_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_edit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_rich_edit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_drop_down_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win32_window_system.cpp
)
if(TARGET tarnwick_platform_win32)
  target_sources(tarnwick_platform_win32 PRIVATE ${tarnwick_win32_window_system_sources})
  # Their tests need windows: they run under Wine on a display.
  add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/tests ${CMAKE_CURRENT_BINARY_DIR}/window_system_tests)
endif()
