# SPDX-License-Identifier: GPL-3.0-or-later
# What the two MinGW-w64 toolchain files share; each sets ZEKORA_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_CXX_COMPILER ${ZEKORA_MINGW_TRIPLE}-g++)
set(CMAKE_OBJDUMP ${ZEKORA_MINGW_TRIPLE}-objdump)

# Libraries and headers come from the cross toolchain only, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZEKORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
