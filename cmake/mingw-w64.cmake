# What both MinGW-w64 toolchain files share; they set CMAKE_SYSTEM_PROCESSOR
# and KP_MINGW_PREFIX (the compiler's target triple) first.
set(CMAKE_SYSTEM_NAME Windows)

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
