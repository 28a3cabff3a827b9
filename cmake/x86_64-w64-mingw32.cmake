# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
# The program is made for 32-bit Windows; this build exists for machines whose
# kernel runs no 32-bit code, where only the 64-bit Wine loader works (the
# real-display benchmark, bench/run-display.sh, falls back to it there).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KP_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
