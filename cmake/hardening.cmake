# SPDX-License-Identifier: GPL-3.0-or-later
# Release builds as distributions expect them; not the sanitizer and fuzzing builds, nor
# debugging builds.
#
# On Linux everything is compiled with _FORTIFY_SOURCE=2 (the C library's checked string and
# memory functions) and linked with full RELRO (relocations resolved at start, then made
# read-only). Bench speed with both: 1.005 times without them (tools/compare-bench.sh).
# MinGW's fortified functions would need its libssp, so Windows programs go without.
#
# The four programs are stripped on both systems (zekora-tool keeps its symbols, for
# profiling). "-s" is understood by the GNU and LLVM linkers alike.
option(ZEKORA_HARDEN "Harden and strip the programs of release builds" ON)
set(ZEKORA_RELEASE_LINK OFF)
if(ZEKORA_HARDEN AND CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT ZEKORA_SANITIZE
   AND NOT ZEKORA_FUZZ)
  set(ZEKORA_RELEASE_LINK ON)
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    # Undefined first: some compilers predefine another level.
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
    add_link_options(LINKER:-z,relro,-z,now)
  endif()
endif()

function(zekora_strip program)
  if(ZEKORA_RELEASE_LINK)
    target_link_options(${program} PRIVATE -s)
  endif()
endfunction()
