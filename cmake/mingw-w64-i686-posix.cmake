# Cross-compiles for 32-bit Windows with mingw-w64 and runs the results
# under 32-bit wine (a prefix made with WINEARCH=win32, see
# scripts/test-windows.sh). The Windows program is 32-bit: a 64-bit process
# cannot load the bridge's 32-bit PANELBUS.dll, and the board library and
# the simulator's interface exist for 32-bit clients too.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZRK_MINGW_PREFIX i686-w64-mingw32)
set(ZRK_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
