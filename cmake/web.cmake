# SPDX-License-Identifier: GPL-3.0-or-later
# The web build (emscripten; tools/build-web.sh drives it): the engine for Web Workers and Node
# (zekora.js, which loads zekora-blocking.js or zekora-suspending.js), and zekora-tool.js over
# the same engine library and link flags, so that its bench measures the program as Node runs
# it. Nothing else of the native build applies.

# WebAssembly counts bits with its own instruction: "o", as in the native -popcnt programs.
add_library(zekora_coreweb STATIC ${ZEKORA_SOURCES})
target_include_directories(zekora_coreweb PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(zekora_coreweb PUBLIC ZEKORA_HW_POPCNT=1 ZEKORA_BUILD_TAG="SPWo")

# Memory grows on demand (the default table alone is larger than emscripten's fixed 16 MB; a
# refused growth makes the table settle for less). The deepest search needs about 0.8 MB of
# stack. One file, the WebAssembly inside, which loads alike in a Worker and in Node; the host
# scripts (web/) run before the engine starts.
set(ZEKORA_WEB_LINK_OPTIONS
    -sALLOW_MEMORY_GROWTH=1 -sTOTAL_STACK=1048576 -sEXIT_RUNTIME=1 -sSINGLE_FILE=1
    -sENVIRONMENT=web,worker,node -sEXPORTED_FUNCTIONS=_main,_sbrk)

# Two hosts (web/zekora.js loads the one for where it runs). Under Node, or in a page with
# SharedArrayBuffer, the engine gets a thread of its own, which it blocks while it waits for
# input: BLOCKING, the faster build. In other pages its Worker must return to the event loop
# for input to arrive: SUSPENDING, with Asyncify, whose buffer holds the frames of the
# suspended search. Asyncify instruments only the functions that can be on the stack when the
# engine suspends, which keeps the search fast (a function missing here breaks the program
# when it suspends beneath it; the checked program of the tests traps that). The search down
# to its time check and the input poll:
set(ZEKORA_WEB_SEARCH_PATH
    dynCall_* zekora::*earch* zekora::quiesce* zekora::node::* zekora::*nullMove*
    zekora::timeCheck* zekora::*ommand* zekora::inputAvailable* zekora::*readInput*)
# and in the engine the idle loop and the waits for "stop" and "ponderhit".
set(ZEKORA_WEB_ENGINE_PATH main zekora::*wait*)

# zekora_web_program(name BLOCKING | SUSPENDING functions-that-may-suspend...)
function(zekora_web_program name host)
  target_link_libraries(${name} PRIVATE zekora_coreweb)
  target_link_options(${name} PRIVATE ${ZEKORA_WEB_LINK_OPTIONS})
  if(host STREQUAL "BLOCKING")
    set(host_js ${PROJECT_SOURCE_DIR}/web/host-blocking.js)
  else()
    set(host_js ${PROJECT_SOURCE_DIR}/web/host-suspending.js)
    list(JOIN ARGN "\n" suspending)
    # Rewritten only when it changes, so that a change relinks and nothing else does.
    set(list_file ${CMAKE_BINARY_DIR}/${name}-asyncify.txt)
    file(WRITE ${list_file}.new "${suspending}\n")
    configure_file(${list_file}.new ${list_file} COPYONLY)
    target_link_options(${name} PRIVATE -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=1048576
                        -sASYNCIFY_IMPORTS=hostWaitForInput,hostPause -sASYNCIFY_ONLY=@${list_file})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${list_file})
  endif()
  # The queue and the output both builds share, then how this one waits.
  set(common_js ${PROJECT_SOURCE_DIR}/web/host.js)
  target_link_options(${name} PRIVATE "SHELL:--pre-js ${common_js}" "SHELL:--pre-js ${host_js}")
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${common_js} ${host_js})
endfunction()

add_executable(zekora-blocking ${PROJECT_SOURCE_DIR}/src/uci/main.cpp)
zekora_web_program(zekora-blocking BLOCKING)
add_executable(zekora-suspending ${PROJECT_SOURCE_DIR}/src/uci/main.cpp)
zekora_web_program(zekora-suspending SUSPENDING ${ZEKORA_WEB_SEARCH_PATH} ${ZEKORA_WEB_ENGINE_PATH})
# The loader that picks one of the two, beside them, and the npm package's manifest.
configure_file(${PROJECT_SOURCE_DIR}/web/zekora.js ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/zekora.js
               COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/web/dist-package.json
               ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/package.json @ONLY)

# The tool is run under Node, so its bench measures the engine as Node runs it.
file(GLOB ZEKORA_TOOL_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/*.cpp)
add_executable(zekora-tool ${ZEKORA_TOOL_SOURCES})
target_include_directories(zekora-tool PRIVATE ${PROJECT_SOURCE_DIR})
zekora_web_program(zekora-tool BLOCKING)

# The Worker's engine again with Asyncify's own checks (and emscripten's): it traps where the
# engine suspends beneath a function that the lists miss. For the tests, under Node, not for
# the package.
add_executable(zekora-checked ${PROJECT_SOURCE_DIR}/src/uci/main.cpp)
target_link_options(zekora-checked PRIVATE -sASSERTIONS=1)
zekora_web_program(zekora-checked SUSPENDING ${ZEKORA_WEB_SEARCH_PATH} ${ZEKORA_WEB_ENGINE_PATH})
