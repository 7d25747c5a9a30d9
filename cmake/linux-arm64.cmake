# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building the 64-bit ARM program (aarch64) on Debian with clang, lld and Debian's C++
# library for arm64 (packages clang, lld and libstdc++-12-dev-arm64-cross):
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-arm64.cmake -DZEKORA_TESTS=OFF
# Never Debian's gcc-aarch64-linux-gnu: it would remove g++-multilib, and with it the 32-bit x86
# programs. Link flags given on the command line (CMAKE_EXE_LINKER_FLAGS) replace -fuse-ld=lld.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_EXE_LINKER_FLAGS_INIT -fuse-ld=lld)
