# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building the Windows programs on Debian with MinGW-w64 (packages g++-mingw-w64-x86-64-win32,
# clang and lld; see mingw-w64-common.cmake):
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DZEKORA_TESTS=OFF
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZEKORA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
