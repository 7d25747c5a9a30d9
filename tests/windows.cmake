# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows programs under Wine. With ZEKORA_WINDOWS_BUILDS naming the build trees made with
# cmake/mingw-w64-*.cmake, the end-to-end tests also run their programs, where Wine is
# installed: Wine here plays the part of Windows, the tests that of the interface.
set(ZEKORA_WINDOWS_BUILDS "" CACHE STRING "Build trees of the Windows programs to test under Wine")
set(ZEKORA_WINDOWS_PROGRAMS "")
set(ZEKORA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
# The launcher's source is a Windows program, built by the Windows trees.
list(FILTER ZEKORA_TEST_SOURCES EXCLUDE REGEX "/support/windows/")

set(ZEKORA_WINE "")
set(ZEKORA_GUI_LAUNCHER "")
set(ZEKORA_WINE_DLL_PATH "")

# Debian's wine64 runs 32-bit programs in its WoW64 mode when the 32-bit Windows DLLs of
# libwine:i386 (the same version as wine64) are on WINEDLLPATH and the prefix was made with
# them. Where the kernel runs 32-bit code they are fetched into this tree, once: apt-get with a
# private configuration for i386 downloads the package, and only its Windows DLLs are
# unpacked; MinGW's 32-bit zlib1.dll joins them, marked as a Wine builtin as the package's
# install script does. Nothing is installed into the system (wine32:i386 would break wine
# on a kernel without 32-bit support). Sets ZEKORA_WINE_DLL_PATH, or wine32_missing to why not.
function(zekora_fetch_wine32_dlls)
  set(root ${CMAKE_BINARY_DIR}/wine32)
  set(dlls ${root}/files/usr/lib/i386-linux-gnu/wine/i386-windows)
  if(EXISTS ${dlls}/zlib1.dll)
    set(ZEKORA_WINE_DLL_PATH ${dlls} PARENT_SCOPE)
    return()
  endif()
  include(CheckCXXSourceRuns)
  set(CMAKE_REQUIRED_FLAGS -m32)
  set(CMAKE_REQUIRED_LINK_OPTIONS -m32)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_runs("int main() { return 0; }" ZEKORA_KERNEL_RUNS_32BIT)
  if(NOT ZEKORA_KERNEL_RUNS_32BIT)
    set(wine32_missing "the kernel runs no 32-bit programs (or -m32 does not link: g++-multilib)"
        PARENT_SCOPE)
    return()
  endif()
  set(zlib /usr/i686-w64-mingw32/lib/zlib1.dll)
  execute_process(COMMAND dpkg-query -W -f=\${Version} wine64 OUTPUT_VARIABLE version
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT EXISTS ${zlib})
    set(wine32_missing "no wine64 package or no ${zlib} (libz-mingw-w64)" PARENT_SCOPE)
    return()
  endif()
  set(apt ${root}/apt)
  file(MAKE_DIRECTORY ${apt}/lists/partial ${apt}/archives/partial)
  file(WRITE ${apt}/status "")
  file(WRITE ${apt}/apt.conf "Dir::State::Lists \"${apt}/lists\";\n"
                             "Dir::State::status \"${apt}/status\";\n"
                             "Dir::Cache \"${apt}\";\nDir::Cache::archives \"${apt}/archives\";\n"
                             "APT::Architecture \"i386\";\nAPT::Architectures { \"i386\"; };\n"
                             "Debug::NoLocking \"true\";\nAPT::Sandbox::User \"root\";\n")
  message(STATUS "Fetching the 32-bit Windows DLLs of libwine:i386 ${version} for Wine")
  set(fetch ${CMAKE_COMMAND} -E env APT_CONFIG=${apt}/apt.conf)
  execute_process(COMMAND ${fetch} apt-get -q update OUTPUT_QUIET ERROR_QUIET
                  RESULT_VARIABLE failed)
  if(NOT failed)
    file(GLOB old_packages ${apt}/libwine_*.deb)
    if(old_packages)
      file(REMOVE ${old_packages})
    endif()
    execute_process(COMMAND ${fetch} apt-get -q download libwine:i386=${version}
                    WORKING_DIRECTORY ${apt} OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE failed)
  endif()
  file(GLOB package ${apt}/libwine_*_i386.deb)
  if(failed OR NOT package)
    set(wine32_missing "libwine:i386 ${version} could not be downloaded" PARENT_SCOPE)
    return()
  endif()
  file(REMOVE_RECURSE ${root}/files)
  file(MAKE_DIRECTORY ${root}/files)
  execute_process(
    COMMAND sh -c "dpkg-deb --fsys-tarfile \"$1\" | tar -x -C \"$2\" --wildcards \"$3/*\" &&
                   { head -c 64 \"$4\"; printf 'Wine builtin DLL'; head -c 16 /dev/zero;
                     tail -c +97 \"$4\"; } > \"$2/$3/zlib1.dll.part\" &&
                   mv \"$2/$3/zlib1.dll.part\" \"$2/$3/zlib1.dll\""
            sh ${package} ${root}/files ./usr/lib/i386-linux-gnu/wine/i386-windows ${zlib}
    RESULT_VARIABLE failed)
  file(REMOVE ${package})
  if(failed)
    set(wine32_missing "libwine:i386 could not be unpacked" PARENT_SCOPE)
    return()
  endif()
  set(ZEKORA_WINE_DLL_PATH ${dlls} PARENT_SCOPE)
endfunction()
if(ZEKORA_WINDOWS_BUILDS)
  # Debian's wine64 package alone puts its loader outside the search path.
  find_program(wine_loader NAMES wine wine64 PATHS /usr/lib/wine NO_CACHE)
  if(wine_loader)
    set(ZEKORA_WINE ${wine_loader})
  endif()
endif()
if(ZEKORA_WINDOWS_BUILDS AND NOT ZEKORA_WINE)
  message(STATUS "Windows programs not tested: Wine is not installed (Debian: wine64)")
elseif(ZEKORA_WINDOWS_BUILDS)
  # A prefix of its own, made once here, so that no test waits for (or races over) its making.
  # No display and no Mono or Gecko: nothing may open a window or ask to install anything.
  set(wine32_missing "")
  foreach(dir ${ZEKORA_WINDOWS_BUILDS})
    if(EXISTS ${dir}/bin/zekora32.exe AND NOT ZEKORA_WINE_DLL_PATH AND NOT wine32_missing)
      zekora_fetch_wine32_dlls()
    endif()
  endforeach()
  set(wine_environment --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=WINEDLLPATH
                       WINEPREFIX=${ZEKORA_WINE_PREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
  if(ZEKORA_WINE_DLL_PATH)
    list(APPEND wine_environment WINEDLLPATH=${ZEKORA_WINE_DLL_PATH})
  endif()
  # A prefix made without the 32-bit DLLs cannot be mended; it is made again with them.
  if(ZEKORA_WINE_DLL_PATH AND NOT EXISTS ${ZEKORA_WINE_PREFIX}/zekora-wow64)
    file(REMOVE_RECURSE ${ZEKORA_WINE_PREFIX})
  endif()
  if(NOT EXISTS ${ZEKORA_WINE_PREFIX}/system.reg)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ${wine_environment} ${ZEKORA_WINE} wineboot -i
                    OUTPUT_QUIET ERROR_QUIET TIMEOUT 300)
    if(ZEKORA_WINE_DLL_PATH)
      file(WRITE ${ZEKORA_WINE_PREFIX}/zekora-wow64 "")
    endif()
  endif()
  set(untested "")
  foreach(dir ${ZEKORA_WINDOWS_BUILDS})
    foreach(name zekora64-popcnt zekora64 zekora32-popcnt zekora32)
      set(program ${dir}/bin/${name}.exe)
      if(NOT EXISTS ${program})
        continue()
      endif()
      # 32-bit Wine needs a kernel that runs 32-bit programs, and the DLLs above: try one once
      # with them, and remember.
      if(name MATCHES "32" AND NOT "${ZEKORA_WINE32_PROBED_WITH}" STREQUAL "${ZEKORA_WINE_DLL_PATH}.")
        set(ZEKORA_WINE32_PROBED_WITH "${ZEKORA_WINE_DLL_PATH}." CACHE INTERNAL "")
        set(probe_input ${CMAKE_CURRENT_BINARY_DIR}/uci-quit.txt)
        file(WRITE ${probe_input} "uci\nquit\n")
        execute_process(COMMAND ${CMAKE_COMMAND} -E env ${wine_environment} ${ZEKORA_WINE} ${program}
                        INPUT_FILE ${probe_input} OUTPUT_VARIABLE answer ERROR_QUIET TIMEOUT 60)
        if(answer MATCHES "uciok")
          set(ZEKORA_WINE_RUNS_32BIT ON CACHE INTERNAL "")
        else()
          set(ZEKORA_WINE_RUNS_32BIT OFF CACHE INTERNAL "")
        endif()
      endif()
      if(name MATCHES "32" AND NOT ZEKORA_WINE_RUNS_32BIT)
        list(APPEND untested ${name}.exe)
      else()
        list(APPEND ZEKORA_WINDOWS_PROGRAMS ${program})
      endif()
    endforeach()
  endforeach()
  # The tests' launcher (cmake/windows.cmake) of a 64-bit tree starts zekora64-popcnt.exe with
  # Windows' own pipes.
  foreach(dir ${ZEKORA_WINDOWS_BUILDS})
    if(EXISTS ${dir}/bin/gui-launcher.exe AND EXISTS ${dir}/bin/zekora64-popcnt.exe)
      set(ZEKORA_GUI_LAUNCHER ${dir}/bin/gui-launcher.exe)
    endif()
  endforeach()
  if(NOT ZEKORA_GUI_LAUNCHER)
    message(STATUS "Windows pipes not tested: no gui-launcher.exe in a 64-bit Windows tree "
                   "(cmake --build TREE --target gui-launcher)")
  endif()
  if(untested)
    list(JOIN untested ", " untested)
    if(NOT wine32_missing)
      set(wine32_missing "32-bit Wine did not start them")
    endif()
    message(STATUS "Windows programs built but not tested, this machine cannot run them under "
                   "Wine (${wine32_missing}): ${untested}")
  endif()
endif()

list(JOIN ZEKORA_WINDOWS_PROGRAMS "|" ZEKORA_WINDOWS_PROGRAM_PATHS)
list(APPEND ZEKORA_TEST_DEFS ZEKORA_WINE="${ZEKORA_WINE}" ZEKORA_WINE_PREFIX="${ZEKORA_WINE_PREFIX}"
     ZEKORA_GUI_LAUNCHER="${ZEKORA_GUI_LAUNCHER}" ZEKORA_WINE_DLL_PATH="${ZEKORA_WINE_DLL_PATH}"
     ZEKORA_WINDOWS_PROGRAM_LIST="${ZEKORA_WINDOWS_PROGRAM_PATHS}")
