# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building the 32-bit ARM program (ARMv7-A, hard-float, as Debian's armhf) on Debian with
# clang, lld and Debian's C++ library for armhf (packages clang, lld and
# libstdc++-12-dev-armhf-cross):
#   cmake -S . -B build-armv7 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-armv7.cmake -DZEKORA_TESTS=OFF
# Never Debian's gcc-arm-linux-gnueabihf: it would remove g++-multilib, and with it the 32-bit
# x86 programs. Link flags given on the command line (CMAKE_EXE_LINKER_FLAGS) replace
# -fuse-ld=lld.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET arm-linux-gnueabihf)
set(CMAKE_CXX_FLAGS_INIT "-march=armv7-a -mfpu=vfpv3-d16 -mfloat-abi=hard")
set(CMAKE_EXE_LINKER_FLAGS_INIT -fuse-ld=lld)
