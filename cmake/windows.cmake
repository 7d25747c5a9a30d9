# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows programs, cross-built with MinGW-w64 (see cmake/mingw-w64-*.cmake).

# Each cross compiler makes one word size: the x86_64 one the 64-bit programs, the i686 one the
# 32-bit programs (for which the -m32 probe then succeeds).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZEKORA_32BIT OFF)
endif()

# The C++ runtime, the compiler's support library and the threads library linked into each
# program, so that a user copies one .exe and nothing else.
add_link_options(-static)

# The oldest Windows the programs run on: XP, whose version is 5.1 (5.2 for XP on 64-bit
# processors). Newer Windows refuses no program for older header versions, but XP refuses one
# whose header asks for a newer version than its own (lld writes 6.0, Vista, by default).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZEKORA_OLDEST_WINDOWS 5.2)
else()
  set(ZEKORA_OLDEST_WINDOWS 5.1)
  # The 32-bit programs may use the 4 GB address space that 64-bit Windows gives them, so a
  # large table can be met there; where less is free the table falls back to a smaller size.
  add_link_options(-Wl,--large-address-aware)
endif()
string(REPLACE "." ";" version "${ZEKORA_OLDEST_WINDOWS}")
list(GET version 0 major)
list(GET version 1 minor)
add_link_options(-Wl,--major-os-version,${major} -Wl,--minor-os-version,${minor}
                 -Wl,--major-subsystem-version,${major} -Wl,--minor-subsystem-version,${minor})

# After each link, make sure of that: the program may import system DLLs only, and a release
# program only functions that the oldest Windows has. The tool's processor-time clock
# (clock_gettime) comes from MinGW's threads library, which asks for a newer Windows.
function(zekora_check_imports)
  target_link_libraries(zekora-tool PRIVATE pthread)
  if(NOT CMAKE_OBJDUMP)
    return()
  endif()
  foreach(target ${ZEKORA_PROGRAMS} zekora-tool)
    set(oldest ${ZEKORA_OLDEST_WINDOWS})
    if(target STREQUAL "zekora-tool")
      set(oldest "")
    endif()
    add_custom_command(
      TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM=$<TARGET_FILE:${target}>
              -DOLDEST_WINDOWS=${oldest} -P ${PROJECT_SOURCE_DIR}/cmake/check-imports.cmake
      VERBATIM)
  endforeach()
endfunction()
cmake_language(DEFER CALL zekora_check_imports)

# The test suite's Windows interface in miniature (tests/support/windows/gui_launcher.cpp),
# built with the programs' compiler on request (tests/run.sh does): the Linux tree's tests run
# it under Wine to start the programs with Windows' own pipes. Not part of any package.
add_executable(gui-launcher EXCLUDE_FROM_ALL
               ${PROJECT_SOURCE_DIR}/tests/support/windows/gui_launcher.cpp)
