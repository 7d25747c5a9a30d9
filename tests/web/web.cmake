# SPDX-License-Identifier: GPL-3.0-or-later
# The web package under test. With ZEKORA_WEB_BUILD naming the tree of tools/build-web.sh, the
# end-to-end tests also run under Node its zekora.js (which loads the Node build) and its
# zekora-checked.js (the Worker's build, which traps where the engine suspends beneath a
# function that Asyncify did not instrument); web.browser drives the raw Worker and the library
# in every browser installed (Chromium, Firefox, WebKit), web.package the npm package as a
# developer installs it, under Node and bundled by Vite, webpack and esbuild, and web.page plays
# through the page in Chromium and Firefox (each skipped where its browsers, npm or the npm
# modules of web/ are missing).
set(ZEKORA_WEB_BUILD "" CACHE PATH "Build tree of tools/build-web.sh to test under Node and in browsers")
set(ZEKORA_WEB_PROGRAMS "")
set(ZEKORA_NODE "")
if(ZEKORA_WEB_BUILD)
  find_program(ZEKORA_NODE_PROGRAM NAMES node nodejs)
  if(NOT ZEKORA_NODE_PROGRAM)
    message(STATUS "Web package not tested: Node is not installed (Debian: nodejs)")
  elseif(NOT EXISTS ${ZEKORA_WEB_BUILD}/dist/zekora.js)
    message(STATUS "Web package not tested: no ${ZEKORA_WEB_BUILD}/dist/zekora.js")
  else()
    set(ZEKORA_NODE ${ZEKORA_NODE_PROGRAM})
    set(ZEKORA_WEB_PROGRAMS "${ZEKORA_WEB_BUILD}/dist/zekora.js|${ZEKORA_WEB_BUILD}/bin/zekora-checked.js")
    add_test(NAME web.browser
             COMMAND ${ZEKORA_NODE} ${CMAKE_CURRENT_SOURCE_DIR}/web/browser_test.mjs
                     ${ZEKORA_WEB_BUILD}/site $<TARGET_FILE:zekora64-popcnt>)
    add_test(NAME web.package
             COMMAND ${ZEKORA_NODE} ${CMAKE_CURRENT_SOURCE_DIR}/web/package_test.mjs
                     ${ZEKORA_WEB_BUILD}/dist $<TARGET_FILE:zekora64-popcnt>)
    add_test(NAME web.page
             COMMAND ${ZEKORA_NODE} ${CMAKE_CURRENT_SOURCE_DIR}/web/page_test.mjs
                     ${ZEKORA_WEB_BUILD}/site)
    set_tests_properties(web.browser web.package web.page PROPERTIES SKIP_RETURN_CODE 77
                         TIMEOUT 600)
  endif()
endif()
# The playing levels (web/levels.js) under Node against the native engine; skipped where the
# npm modules of web/ are missing.
find_program(ZEKORA_NODE_PROGRAM NAMES node nodejs)
if(ZEKORA_NODE_PROGRAM)
  add_test(NAME web.levels
           COMMAND ${ZEKORA_NODE_PROGRAM} ${CMAKE_CURRENT_SOURCE_DIR}/web/levels_test.mjs
                   $<TARGET_FILE:zekora64-popcnt>)
  set_tests_properties(web.levels PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
else()
  message(STATUS "Levels not tested: Node is not installed (Debian: nodejs)")
endif()
list(APPEND ZEKORA_TEST_DEFS ZEKORA_NODE="${ZEKORA_NODE}" ZEKORA_WEB_PROGRAM_LIST="${ZEKORA_WEB_PROGRAMS}")
