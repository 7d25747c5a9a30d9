# SPDX-License-Identifier: GPL-3.0-or-later
# Profile-guided release builds with clang: every program is compiled with the profile of a
# bench run of an instrumented zekora-tool (cmake/pgo/), which lays out the hot paths of the
# search for the branches they really take. Search results do not change. Needs clang's
# profile runtime (Debian: libclang-rt-14-dev) and llvm-profdata; without them, with g++, in
# other build types and when cross-compiling, the programs are built without a profile.
option(ZEKORA_PGO "Optimise clang release builds with a profile of the bench" ON)
set(ZEKORA_BENCH_PROFILE "")
if(ZEKORA_PGO AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND CMAKE_BUILD_TYPE STREQUAL "Release"
   AND NOT ZEKORA_SANITIZE AND NOT ZEKORA_FUZZ AND NOT CMAKE_CROSSCOMPILING)
  string(REGEX MATCH "^[0-9]+" clang_major "${CMAKE_CXX_COMPILER_VERSION}")
  find_program(ZEKORA_LLVM_PROFDATA NAMES llvm-profdata-${clang_major} llvm-profdata)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fprofile-instr-generate)
  set(CMAKE_REQUIRED_LINK_OPTIONS -fprofile-instr-generate)
  check_cxx_source_compiles("int main() { return 0; }" ZEKORA_PROFILE_RUNTIME_LINKS)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(ZEKORA_LLVM_PROFDATA AND ZEKORA_PROFILE_RUNTIME_LINKS)
    set(ZEKORA_BENCH_PROFILE ${CMAKE_BINARY_DIR}/pgo/bench.profdata)
    # In a directory of its own, where the sources do not wait for the profile they produce.
    add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/pgo ${CMAKE_BINARY_DIR}/pgo)
  else()
    message(STATUS "Profile-guided build skipped: no llvm-profdata or clang profile runtime")
  endif()
endif()

# Compiles a target's own sources with the bench profile, again whenever the profile changes.
function(zekora_use_bench_profile target)
  if(ZEKORA_BENCH_PROFILE)
    target_compile_options(${target} PRIVATE -fprofile-instr-use=${ZEKORA_BENCH_PROFILE})
    add_dependencies(${target} zekora-bench-profile)
    get_target_property(sources ${target} SOURCES)
    set_source_files_properties(${sources} PROPERTIES OBJECT_DEPENDS ${ZEKORA_BENCH_PROFILE})
  endif()
endfunction()
