# Cross-building the Windows programs on Debian with MinGW-w64 (package g++-mingw-w64-x86-64):
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZEKORA_TESTS=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEKORA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER ${ZEKORA_MINGW_TRIPLE}-g++)
set(CMAKE_OBJDUMP ${ZEKORA_MINGW_TRIPLE}-objdump)

# Libraries and headers come from the cross toolchain only, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZEKORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
