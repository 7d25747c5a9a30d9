# SPDX-License-Identifier: GPL-3.0-or-later
# Release programs are linked at a fixed address (not position-independent), where the toolchain
# can: the engine's many table lookups then address their tables directly, with no extra address
# arithmetic and, in the 32-bit programs, no register given up to the global offset table. Bench
# speed with clang and the bench profile: position-independent 64-bit programs ran at 0.97 and
# 0.92 times (two runs of 7 and 9 alternated rounds; with g++, 1.07 times in favour of the fixed
# address, 32-bit 1.04). Not for the sanitizer and fuzzing builds, nor when cross-compiling. The
# Windows programs go without: 32-bit Windows code addresses its tables directly anyway, and
# 64-bit programs linked below 2 GB without address randomisation (clang's static relocation
# model) benched 0.96 times under Wine, no gain.
set(ZEKORA_NO_PIE OFF)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_CROSSCOMPILING AND NOT ZEKORA_SANITIZE
   AND NOT ZEKORA_FUZZ)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fno-pie)
  set(CMAKE_REQUIRED_LINK_OPTIONS -no-pie)
  check_cxx_source_compiles("int main() { return 0; }" ZEKORA_NO_PIE_LINKS)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  set(ZEKORA_NO_PIE ${ZEKORA_NO_PIE_LINKS})
endif()

# Compiles a target, and links whatever uses it, without position independence.
function(zekora_no_pie target)
  if(ZEKORA_NO_PIE)
    target_compile_options(${target} PUBLIC -fno-pie)
    target_link_options(${target} PUBLIC -no-pie)
  endif()
endfunction()
