# SPDX-License-Identifier: GPL-3.0-or-later
# Profile-guided release builds with clang: every program is compiled with the profile of a
# bench run of an instrumented zekora-tool (cmake/pgo/), which lays out the hot paths of the
# search for the branches they really take. Search results do not change. Needs clang's
# profile runtime (Debian: libclang-rt-14-dev) and llvm-profdata; without them, with g++, and in
# other build types, the programs are built without a profile.
#
# Cross-built programs (Windows, ARM), with clang, get the same profile: Debian has no profile
# runtime for those targets, and none is needed, since the bench searches the same tree
# everywhere and the engine's functions are the same source. An instrumented zekora-tool of the
# build machine makes it, in a tree of its own (host-profile/); only Windows' platform layer,
# cold in the search, differs and is compiled without it.
option(ZEKORA_PGO "Optimise clang release builds with a profile of the bench" ON)
set(ZEKORA_BENCH_PROFILE "")
string(REGEX MATCH "^[0-9]+" clang_major "${CMAKE_CXX_COMPILER_VERSION}")
if(ZEKORA_PGO AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND CMAKE_BUILD_TYPE STREQUAL "Release"
   AND CMAKE_CROSSCOMPILING)
  # Can the build machine's clang++ instrument and profile a program of its own?
  find_program(ZEKORA_HOST_LLVM_PROFDATA NAMES llvm-profdata-${clang_major} llvm-profdata)
  set(probe ${CMAKE_BINARY_DIR}/CMakeFiles/host-profile-probe)
  file(WRITE ${probe}.cpp "int main() { return 0; }\n")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -fprofile-instr-generate ${probe}.cpp -o ${probe}
                  RESULT_VARIABLE probe_failed OUTPUT_QUIET ERROR_QUIET)
  # Trees of both word sizes may share one (tests/run.sh does).
  set(ZEKORA_HOST_PROFILE_DIR ${CMAKE_BINARY_DIR}/host-profile CACHE PATH
      "Build tree of the build machine's instrumented zekora-tool, which makes the bench profile")
  if(ZEKORA_HOST_LLVM_PROFDATA AND NOT probe_failed)
    set(ZEKORA_BENCH_PROFILE ${ZEKORA_HOST_PROFILE_DIR}/pgo/bench.profdata)
    include(ExternalProject)
    # Make passes its parallel jobs down only to a command that names it.
    set(build ${CMAKE_COMMAND} --build <BINARY_DIR> --target zekora-bench-profile)
    if(CMAKE_GENERATOR MATCHES "Makefiles")
      set(build "$(MAKE)" zekora-bench-profile)
    endif()
    # Brought up to date on every build, like the sources it follows.
    ExternalProject_Add(
      zekora-bench-profile
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${ZEKORA_HOST_PROFILE_DIR}
      CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
                 -DZEKORA_TESTS=OFF -DZEKORA_32BIT=OFF
      BUILD_COMMAND ${build}
      BUILD_ALWAYS ON
      BUILD_BYPRODUCTS ${ZEKORA_BENCH_PROFILE}
      INSTALL_COMMAND "")
    # Not the platform layer: its functions differ from the build machine's under the same names.
    set_source_files_properties(${PROJECT_SOURCE_DIR}/src/platform/os_windows.cpp PROPERTIES
                                COMPILE_OPTIONS -Wno-profile-instr-out-of-date)
  else()
    message(STATUS "Profile-guided build skipped: the build machine's clang++ cannot profile")
  endif()
elseif(ZEKORA_PGO AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND CMAKE_BUILD_TYPE STREQUAL "Release"
   AND NOT ZEKORA_SANITIZE AND NOT ZEKORA_FUZZ AND NOT CMAKE_CROSSCOMPILING)
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
