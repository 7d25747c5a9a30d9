# SPDX-License-Identifier: GPL-3.0-or-later
# The release compiler, chosen before project(): clang++ where it is installed, since its
# programs search the same trees faster than g++'s (bench speed 1.08 times g++'s; with the
# bench profile of pgo.cmake 1.08 to 1.20 times, depending on the program). Without clang++
# the build stays with the system's default compiler. An explicit compiler (CMAKE_CXX_COMPILER
# or CXX), a toolchain file and the sanitizer build are left as they are.
if(NOT DEFINED CMAKE_CXX_COMPILER AND NOT DEFINED CMAKE_TOOLCHAIN_FILE AND NOT DEFINED ENV{CXX}
   AND NOT ZEKORA_SANITIZE)
  find_program(ZEKORA_CLANGXX clang++)
  if(ZEKORA_CLANGXX)
    set(CMAKE_CXX_COMPILER ${ZEKORA_CLANGXX})
  endif()
endif()
