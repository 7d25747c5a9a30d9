# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows programs, cross-built with MinGW-w64 (see cmake/mingw-w64-*.cmake).

# Each cross compiler makes one word size: the x86_64 one the 64-bit programs, the i686 one the
# 32-bit programs (for which the -m32 probe then succeeds).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZEKORA_32BIT OFF)
endif()

# The test suite runs on the build machine and drives these programs under Wine from there.
if(ZEKORA_TESTS)
  message(STATUS "Tests are built by the Linux build; they run the Windows programs under Wine")
  set(ZEKORA_TESTS OFF)
endif()

# The C++ runtime, the compiler's support library and the threads library linked into each
# program, so that a user copies one .exe and nothing else.
add_link_options(-static)

# After each link, make sure of that: the program may import system DLLs only. The tool's
# processor-time clock (clock_gettime) comes from MinGW's threads library.
function(zekora_check_imports)
  target_link_libraries(zekora-tool PRIVATE pthread)
  if(NOT CMAKE_OBJDUMP)
    return()
  endif()
  foreach(target ${ZEKORA_PROGRAMS} zekora-tool)
    add_custom_command(
      TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM=$<TARGET_FILE:${target}>
              -P ${PROJECT_SOURCE_DIR}/cmake/check-imports.cmake
      VERBATIM)
  endforeach()
endfunction()
cmake_language(DEFER CALL zekora_check_imports)

# The test suite's Windows interface in miniature (tests/support/windows/gui_launcher.cpp),
# built with the programs' compiler on request (tests/run.sh does): the Linux tree's tests run
# it under Wine to start the programs with Windows' own pipes. Not part of any package.
add_executable(gui-launcher EXCLUDE_FROM_ALL
               ${PROJECT_SOURCE_DIR}/tests/support/windows/gui_launcher.cpp)
