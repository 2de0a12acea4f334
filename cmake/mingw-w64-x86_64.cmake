# Cross-building the Windows program from Linux with mingw-w64 (posix
# threads, for std::thread and std::mutex). Used as
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(tarnwick_mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${tarnwick_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tarnwick_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${tarnwick_mingw_prefix}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${tarnwick_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs and tests run without the toolchain's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests and tools built for Windows run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# The Windows program ships stripped, so its release build carries no debug
# information, and -O2: -O3 costs compile time for nothing it measurably gains.
set(CMAKE_C_FLAGS_RELEASE_INIT "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE_INIT "-O2 -DNDEBUG")
