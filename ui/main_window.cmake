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
  ${CMAKE_CURRENT_LIST_DIR}/main_window_headless_test.cpp
  ${PROJECT_SOURCE_DIR}/testing/headless_ui_driver.cpp
  LIBS tarnwick_main_window tarnwick_platform_headless)
# The same behaviour on the Qt backend, offscreen.
if(TARGET tarnwick_platform_qt)
  find_package(Qt6 COMPONENTS Test)
endif()
if(TARGET tarnwick_platform_qt AND Qt6Test_FOUND)
  tarnwick_test(main_window_qt_test KIND desktop
    ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
    ${PROJECT_SOURCE_DIR}/testing/qt_ui_driver.cpp
    LIBS tarnwick_main_window tarnwick_platform_qt tarnwick_testing Qt6::Test
    ENV QT_QPA_PLATFORM=offscreen)
endif()
# And on Win32 under Wine; how the program is put together is the same
# on every system.
if(TARGET tarnwick_platform_win32)
  tarnwick_test(main_window_win32_test KIND system TIMEOUT 120 RESOURCE_LOCK wine_display
    FILTER -MainWindowTest.EveryHandlerSlotIsFilledExactlyOnce
    ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
    ${PROJECT_SOURCE_DIR}/testing/win32_ui_driver.cpp
    LIBS tarnwick_main_window tarnwick_platform_win32 tarnwick_testing)
endif()
