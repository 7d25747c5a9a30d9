# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a Windows program imports a DLL of the MinGW runtime, which a user would lack, and,
# given OLDEST_WINDOWS (such as 5.1 for XP), when the program asks for a newer Windows in its
# header or imports a function that is not known to exist on that Windows.
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DPROGRAM=zekora64.exe [-DOLDEST_WINDOWS=5.2] \
#         -P check-imports.cmake
cmake_minimum_required(VERSION 3.25)
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
if(NOT OLDEST_WINDOWS)
  return()
endif()

# Windows XP (5.1; XP on 64-bit processors 5.2) has every one of these: what the programs, the
# MinGW-w64 start-up code and the C++ library import, and what a console program of this kind
# may well need next. A function Windows gained later (GetTickCount64, CancelIoEx, condition
# variables: Vista) does not belong here; the programs would then need a newer Windows, and
# the version in windows.cmake and the README would say so.
set(known_kernel32
    AddVectoredExceptionHandler CancelIo CloseHandle ConnectNamedPipe CreateEventA CreateEventW
    CreateFileA CreateFileW CreateNamedPipeA CreateNamedPipeW CreatePipe CreateSemaphoreA
    CreateSemaphoreW CreateThread DeleteCriticalSection DisconnectNamedPipe DuplicateHandle
    EnterCriticalSection ExitProcess ExitThread FlushFileBuffers FormatMessageA FreeLibrary
    GetCommandLineA GetConsoleMode GetCurrentProcess GetCurrentProcessId GetCurrentThread
    GetCurrentThreadId GetEnvironmentVariableA GetExitCodeProcess GetFileType
    GetHandleInformation GetLastError GetModuleFileNameA GetModuleFileNameW GetModuleHandleA
    GetModuleHandleW GetNamedPipeInfo GetNumberOfConsoleInputEvents GetOverlappedResult
    GetProcAddress GetProcessHeap GetStartupInfoA GetStdHandle GetSystemInfo
    GetSystemTimeAsFileTime GetThreadPriority GetTickCount GlobalMemoryStatusEx HeapAlloc
    HeapFree InitializeCriticalSection IsDBCSLeadByteEx IsDebuggerPresent LeaveCriticalSection
    LoadLibraryA LoadLibraryW LocalFree MultiByteToWideChar OutputDebugStringA PeekConsoleInputA
    PeekNamedPipe QueryPerformanceCounter QueryPerformanceFrequency RaiseException ReadConsoleA
    ReadFile ReleaseSemaphore RemoveVectoredExceptionHandler ResetEvent RtlCaptureContext
    RtlLookupFunctionEntry RtlUnwindEx RtlVirtualUnwind SetConsoleCtrlHandler SetConsoleMode
    SetEvent SetHandleInformation SetLastError SetNamedPipeHandleState SetStdHandle
    SetThreadPriority SetUnhandledExceptionFilter Sleep TerminateProcess TlsAlloc TlsFree
    TlsGetValue TlsSetValue TryEnterCriticalSection UnhandledExceptionFilter VirtualAlloc
    VirtualFree VirtualProtect VirtualQuery WaitForMultipleObjects WaitForSingleObject
    WideCharToMultiByte WriteConsoleA WriteFile __C_specific_handler)
set(known_msvcrt
    ___lc_codepage_func ___mb_cur_max_func __dllonexit __getmainargs __initenv __iob_func
    __mb_cur_max __p__acmdln __p__commode __p__environ __p__fmode __set_app_type
    __setusermatherr _acmdln _amsg_exit _cexit _close _commode _errno _exit _fdopen _fileno
    _fmode _get_osfhandle _initterm _iob _isatty _lock _onexit _open_osfhandle _read _setjmp
    _setjmp3 _setmode _snprintf _strdup _stricmp _strnicmp _ultoa _unlock _vsnprintf _write abort
    atexit atoi atol calloc clock exit fclose feof ferror fflush fgetc fgets fopen fprintf fputc
    fputs fread free fwrite getc getenv isalpha isdigit islower isspace isupper localeconv
    longjmp malloc memchr memcmp memcpy memmove memset perror printf putc putchar puts qsort rand
    realloc setlocale setvbuf signal sprintf srand sscanf strcat strchr strcmp strcpy strerror
    strlen strncmp strncpy strrchr strstr strtol strtoul time tolower toupper ungetc vfprintf
    vprintf wcslen)

# The header's versions: the system's and the subsystem's.
foreach(field OSystem Subsystem)
  string(REGEX MATCH "Major${field}Version[ \t]+([0-9]+)" _ "${dump}")
  set(major ${CMAKE_MATCH_1})
  string(REGEX MATCH "Minor${field}Version[ \t]+([0-9]+)" _ "${dump}")
  if(major STREQUAL "" OR "${major}.${CMAKE_MATCH_1}" VERSION_GREATER OLDEST_WINDOWS)
    message(FATAL_ERROR "${PROGRAM} asks in its header (Major/Minor${field}Version) for "
                        "Windows ${major}.${CMAKE_MATCH_1}, newer than ${OLDEST_WINDOWS}")
  endif()
endforeach()

# Each "DLL Name:" line is followed by the functions imported from that DLL, one a line.
string(REPLACE ";" "\\;" dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")
set(dll "")
foreach(line IN LISTS lines)
  if(line MATCHES "DLL Name: (.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
    string(REGEX REPLACE "\\.dll$" "" dll "${dll}")
    if(NOT DEFINED known_${dll})
      message(FATAL_ERROR "${PROGRAM} imports from ${CMAKE_MATCH_1}, which is not known to be "
                          "part of Windows ${OLDEST_WINDOWS}")
    endif()
  elseif(dll AND line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +([A-Za-z0-9_]+)")
    if(NOT CMAKE_MATCH_1 IN_LIST known_${dll})
      message(FATAL_ERROR "${PROGRAM} imports ${CMAKE_MATCH_1} from ${dll}.dll, which is not "
                          "known to exist on Windows ${OLDEST_WINDOWS}")
    endif()
  elseif(line STREQUAL "")
    set(dll "")
  endif()
endforeach()
