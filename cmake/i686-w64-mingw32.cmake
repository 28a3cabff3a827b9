# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KP_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Test programs built for Windows run under Wine.
find_program(KP_WINE NAMES wine)
if(KP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KP_WINE})
endif()
