# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a Windows program imports a DLL of the MinGW runtime, which a user would lack.
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DPROGRAM=zekora64.exe -P check-imports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot read the imports of ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
foreach(import ${imports})
  string(TOLOWER "${import}" name)
  if(name MATCHES "libstdc|libgcc|libwinpthread|mingw")
    message(FATAL_ERROR "${PROGRAM} imports a MinGW runtime DLL (${import}); link it statically")
  endif()
endforeach()
