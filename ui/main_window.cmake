# The main window: its layout table, the embedded pictures, DockStrip, the
# bindings and the panel toggles. Included from ui/CMakeLists.txt.
add_library(tarnwick_main_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/main_window_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/images/embedded_images_data.cpp
)
target_include_directories(tarnwick_main_window PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tarnwick_main_window PUBLIC tarnwick_ui tarnwick_calendar_widget tarnwick_platform tarnwick_base)

tarnwick_test(main_window_test
  ${CMAKE_CURRENT_LIST_DIR}/main_window_layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
  LIBS tarnwick_main_window tarnwick_platform_headless)
