# Cross-compiles for 64-bit Windows with mingw-w64 and runs the results
# under wine. The program itself is 32-bit (mingw-w64-i686-posix.cmake);
# this one serves ZRK_WIN_BITS=64 scripts/test-windows.sh. The posix-thread
# flavour of the compilers is needed: the win32-thread one lacks std::thread
# and std::mutex, which GoogleTest uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZRK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZRK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZRK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZRK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZRK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest starts the test executables through wine.
find_program(ZRK_WINE NAMES wine wine64)
if(ZRK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZRK_WINE})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
