# SPDX-License-Identifier: GPL-3.0-or-later
# The web build (emscripten; tools/build-web.sh drives it): one program, zekora.js, for Web
# Workers and Node, and zekora-tool.js over the same engine library and link flags, so that
# its bench measures the program as shipped. Nothing else of the native build applies.

# WebAssembly counts bits with its own instruction: "o", as in the native -popcnt programs.
add_library(zekora_coreweb STATIC ${ZEKORA_SOURCES})
target_include_directories(zekora_coreweb PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(zekora_coreweb PUBLIC ZEKORA_HW_POPCNT=1 ZEKORA_BUILD_TAG="SPWo")

# Memory grows on demand (the default table alone is larger than emscripten's fixed 16 MB; a
# refused growth makes the table settle for less). The deepest search needs about 0.8 MB of
# stack. Asyncify lets the input poll and the waits suspend the engine while the host's event
# loop delivers input; its buffer holds the suspended search's frames. One file, the
# WebAssembly inside, which loads alike in a Worker and in Node.
set(ZEKORA_WEB_LINK_OPTIONS
    -sALLOW_MEMORY_GROWTH=1 -sTOTAL_STACK=1048576 -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=1048576
    -sEXIT_RUNTIME=1 -sSINGLE_FILE=1 -sENVIRONMENT=web,worker,node
    "SHELL:--pre-js ${PROJECT_SOURCE_DIR}/web/host.js")

add_executable(zekora ${PROJECT_SOURCE_DIR}/src/uci/main.cpp)
file(GLOB ZEKORA_TOOL_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/*.cpp)
add_executable(zekora-tool ${ZEKORA_TOOL_SOURCES})
target_include_directories(zekora-tool PRIVATE ${PROJECT_SOURCE_DIR})
foreach(program zekora zekora-tool)
  target_link_libraries(${program} PRIVATE zekora_coreweb)
  target_link_options(${program} PRIVATE ${ZEKORA_WEB_LINK_OPTIONS})
  set_property(TARGET ${program} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/web/host.js)
endforeach()
