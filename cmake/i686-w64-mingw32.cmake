# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KP_MINGW_PREFIX i686-w64-mingw32)
# The posix-threads flavour is needed by GoogleTest; both produce the same
# program otherwise.
find_program(CMAKE_CXX_COMPILER NAMES ${KP_MINGW_PREFIX}-g++-posix ${KP_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${KP_MINGW_PREFIX}-gcc-posix ${KP_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KP_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs built for Windows run under Wine.
find_program(KP_WINE NAMES wine)
if(KP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KP_WINE})
endif()
