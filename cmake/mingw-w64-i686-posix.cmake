# Cross-compiles for 32-bit Windows with mingw-w64 and runs the results
# under 32-bit wine. The Windows program is 32-bit: a 64-bit process cannot
# load the bridge's 32-bit PANELBUS.dll, and the board library and the
# simulator's interface exist for 32-bit clients too. The posix-thread
# flavour of the compilers is needed: the win32-thread one lacks std::thread
# and std::mutex, which the program and GoogleTest use.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(ZRK_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZRK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZRK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZRK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZRK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest starts the test executables through wine, which runs 32-bit
# programs in a prefix made with WINEARCH=win32 (scripts/test-windows.sh).
find_program(ZRK_WINE NAMES wine)
if(ZRK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZRK_WINE})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
