# Cross-compiles for 64-bit Windows with mingw-w64 and runs the results
# under wine. The program itself is 32-bit (mingw-w64-i686-posix.cmake);
# this one serves ZRK_WIN_BITS=64 scripts/test-windows.sh.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZRK_MINGW_PREFIX x86_64-w64-mingw32)
set(ZRK_WINE_NAMES wine wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
