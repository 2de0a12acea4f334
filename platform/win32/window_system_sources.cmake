# The Win32 window system and its native controls (included by this folder's
# CMakeLists.txt). The sources join the list as they land.
set(tarnwick_win32_window_system_sources)
