# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows programs under Wine. With ZEKORA_WINDOWS_BUILDS naming the build trees made with
# cmake/mingw-w64-*.cmake, the end-to-end tests also run their programs, where Wine is
# installed: Wine here plays the part of Windows, the tests that of the interface.
set(ZEKORA_WINDOWS_BUILDS "" CACHE STRING "Build trees of the Windows programs to test under Wine")
set(ZEKORA_WINDOWS_PROGRAMS "")
set(ZEKORA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
# The launcher's source is a Windows program, built by the Windows trees.
list(FILTER ZEKORA_TEST_SOURCES EXCLUDE REGEX "/support/windows/")

# Debian's wine64 runs the 32-bit programs in its WoW64 mode with the 32-bit Windows DLLs of
# libwine:i386 (of wine64's version), which tools/fetch-wine32.sh puts here: configuring only
# looks for them.
set(ZEKORA_WINE32_DLLS ${PROJECT_SOURCE_DIR}/build-wine32/i386-windows CACHE PATH
    "32-bit Windows DLLs for Wine's WoW64 mode (made by tools/fetch-wine32.sh)")
set(ZEKORA_WINE "")
set(ZEKORA_GUI_LAUNCHER "")
set(ZEKORA_WINE_DLL_PATH "")
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
  set(wine32_missing "no ${ZEKORA_WINE32_DLLS}/zlib1.dll: run bash tools/fetch-wine32.sh")
  if(EXISTS ${ZEKORA_WINE32_DLLS}/zlib1.dll)
    set(ZEKORA_WINE_DLL_PATH ${ZEKORA_WINE32_DLLS})
    set(wine32_missing "")
  endif()
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
      # 32-bit Wine needs a kernel that runs 32-bit programs, and the DLLs above: one program
      # is tried once with them, and the answer kept.
      if(name MATCHES "32" AND ZEKORA_WINE_DLL_PATH AND NOT DEFINED ZEKORA_WINE_RUNS_32BIT)
        file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/uci-quit.txt "uci\nquit\n")
        execute_process(COMMAND ${CMAKE_COMMAND} -E env ${wine_environment} ${ZEKORA_WINE} ${program}
                        INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/uci-quit.txt OUTPUT_VARIABLE answer
                        ERROR_QUIET TIMEOUT 60)
        set(ZEKORA_WINE_RUNS_32BIT OFF CACHE INTERNAL "")
        if(answer MATCHES "uciok")
          set(ZEKORA_WINE_RUNS_32BIT ON CACHE INTERNAL "")
        endif()
      endif()
      if(name MATCHES "32" AND NOT (ZEKORA_WINE_DLL_PATH AND ZEKORA_WINE_RUNS_32BIT))
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
