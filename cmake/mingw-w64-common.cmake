# What both Windows cross builds share; the including toolchain file sets
# CMAKE_SYSTEM_PROCESSOR and ZRK_MINGW_PREFIX first. The posix-thread
# flavour of the compilers is needed: the win32-thread one lacks std::thread
# and std::mutex, which the program and GoogleTest use.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZRK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZRK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZRK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZRK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest starts the test executables through wine.
find_program(ZRK_WINE NAMES ${ZRK_WINE_NAMES})
if(ZRK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZRK_WINE})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
