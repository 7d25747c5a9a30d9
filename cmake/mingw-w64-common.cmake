# SPDX-License-Identifier: GPL-3.0-or-later
# What the two MinGW-w64 toolchain files share; each sets ZEKORA_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first.
#
# The compiler is pinned, never the one Debian's alternative for ${triple}-g++ names: clang++
# for the target, linked by lld, with the C++ library and headers of MinGW-w64's g++ of the
# win32 thread model (under Wine its programs bench 1.03 to 1.04 times that g++'s, with the
# bench profile of pgo.cmake 1.03 to 1.13 times). Without clang++ or lld, that g++ itself
# (${triple}-g++-win32). Never the posix thread model: its static threads library would add
# imports that older Windows lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

find_program(ZEKORA_MINGW_GXX ${ZEKORA_MINGW_TRIPLE}-g++-win32)
if(NOT ZEKORA_MINGW_GXX)
  string(REPLACE "_" "-" package "g++-mingw-w64-${ZEKORA_MINGW_TRIPLE}")
  string(REPLACE "-w64-mingw32" "-win32" package "${package}")
  message(FATAL_ERROR "No ${ZEKORA_MINGW_TRIPLE}-g++-win32 (Debian: install ${package})")
endif()
find_program(ZEKORA_MINGW_CLANGXX clang++)
find_program(ZEKORA_MINGW_LLD ld.lld)

if(ZEKORA_MINGW_CLANGXX AND ZEKORA_MINGW_LLD)
  # Where that g++ keeps its libraries, and beneath them its C++ headers.
  execute_process(COMMAND ${ZEKORA_MINGW_GXX} -print-libgcc-file-name
                  OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(gcc_dir "${libgcc}" DIRECTORY)
  set(cxx_headers ${gcc_dir}/include/c++)
  set(CMAKE_CXX_COMPILER ${ZEKORA_MINGW_CLANGXX})
  set(CMAKE_CXX_COMPILER_TARGET ${ZEKORA_MINGW_TRIPLE})
  set(CMAKE_CXX_FLAGS_INIT "-isystem ${cxx_headers} -isystem ${cxx_headers}/${ZEKORA_MINGW_TRIPLE} -isystem ${cxx_headers}/backward")
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_dir}")
else()
  set(CMAKE_CXX_COMPILER ${ZEKORA_MINGW_GXX})
endif()
set(CMAKE_OBJDUMP ${ZEKORA_MINGW_TRIPLE}-objdump)

# Libraries and headers come from the cross toolchain only, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZEKORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
