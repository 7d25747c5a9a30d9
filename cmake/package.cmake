# SPDX-License-Identifier: GPL-3.0-or-later
# The release packages, made with CPack from a built tree (after building its target
# zekora-package-files, the packages' generated files):
#   Linux tree:           cpack --config build/CPackConfig.cmake
#                         zekora-1.0-beta-linux.tar.gz (the four programs, README.md, LICENSE)
#                         and zekora_1.0~beta_amd64.deb (the two 64-bit programs in /usr/games,
#                         the manual page, XBoard's plugin file, README, changelog, copyright)
#   64-bit Windows tree:  cpack --config build-win64/CPackConfig.cmake
#                         zekora-1.0-beta-windows.zip (the four .exe, with the 32-bit tree named
#                         in ZEKORA_PACKAGE_WITH, README.txt and LICENSE.txt)
# tools/release.sh builds the three trees and makes all three packages and their checksums.
set(ZEKORA_PACKAGE_WITH "" CACHE STRING
    "Build trees whose programs join this tree's archive (the 32-bit Windows tree)")
set(ZEKORA_MAINTAINER "Zekora developers <zekora@example.org>" CACHE STRING
    "Maintainer of the Debian package: name <address>")

# Files made for the packages: from README.md (with packaging/render-readme.py) and from
# packaging/. Built only on request, so that the programs build whatever the README says.
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
find_program(ZEKORA_PYTHON python3)
set(render ${ZEKORA_PYTHON} ${packaging}/render-readme.py ${PROJECT_SOURCE_DIR}/README.md)
set(render_depends ${PROJECT_SOURCE_DIR}/README.md ${packaging}/render-readme.py)
set(package_files "")

# Only for the packages: a plain "cmake --install" installs the programs into bin/ alone.
install(TARGETS ${ZEKORA_PROGRAMS} RUNTIME DESTINATION . COMPONENT archive EXCLUDE_FROM_ALL)
if(WIN32)
  # Text a Windows user opens with a double-click: written for Windows, with Windows line ends.
  set(readme ${PROJECT_BINARY_DIR}/README.txt)
  add_custom_command(
    OUTPUT ${readme}
    COMMAND ${render} ${packaging}/README.txt.in ${readme} text --crlf
            ZEKORA_VERSION_TEXT=${ZEKORA_VERSION_TEXT}
    DEPENDS ${render_depends} ${packaging}/README.txt.in
    VERBATIM)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY
                 NEWLINE_STYLE CRLF)
  list(APPEND package_files ${readme})
  install(FILES ${readme} ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION . COMPONENT archive
          EXCLUDE_FROM_ALL)
  set(ZEKORA_PACKAGE_SYSTEM windows)
  set(CPACK_GENERATOR ZIP)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .
          COMPONENT archive EXCLUDE_FROM_ALL)
  string(REPLACE aarch64 arm64 processor ${CMAKE_SYSTEM_PROCESSOR})
  set(ZEKORA_PACKAGE_SYSTEM linux-${processor})
  set(CPACK_GENERATOR TGZ)
  # A Debian package for amd64 and arm64: the 64-bit programs, the first one the manual page's.
  if(TARGET zekora64-popcnt)
    set(debian_programs zekora64-popcnt zekora64)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
    set(page_section "The four programs|2")
    set(about "zekora64-popcnt (for any x86-64 processor of
the last fifteen years) and zekora64 (for older ones).")
  elseif(TARGET zekora-arm64)
    set(debian_programs zekora-arm64)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
    set(page_section "ARM|1")
    set(about "zekora-arm64, for any 64-bit ARM
processor (ARMv8: the Raspberry Pi 3 and later, ARM servers and laptops).")
  endif()
endif()
if(debian_programs)
  # As Debian installs its own engines, with the documents compressed as its policy asks, and
  # the file by which XBoard finds the engine. XBoard lists it only when that file is newer than
  # the user's ~/.xboardrc, which it rewrites at every exit: the package's postinst dates it
  # anew (dpkg keeps the build's date).
  find_program(ZEKORA_GZIP gzip REQUIRED)
  list(GET debian_programs 0 program)
  list(JOIN debian_programs "," programs)
  set(debian ${PROJECT_BINARY_DIR}/debian)
  set(pages ${debian}/${program}.6)
  if(TARGET zekora64)
    list(APPEND pages ${debian}/zekora64.6)
  endif()
  add_custom_command(
    OUTPUT ${debian}/${program}.6.gz ${debian}/zekora64.6.gz ${debian}/changelog.gz
           ${debian}/README.md.gz
    COMMAND ${render} ${packaging}/zekora.6.in ${debian}/${program}.6 man
            ZEKORA_VERSION_TEXT=${ZEKORA_VERSION_TEXT} PROGRAMS=${programs}
            PROGRAMS_SECTION=${page_section}
    COMMAND ${CMAKE_COMMAND} -E copy ${packaging}/zekora64.6 ${packaging}/changelog
            ${PROJECT_SOURCE_DIR}/README.md ${debian}
    COMMAND ${ZEKORA_GZIP} -9nf ${debian}/${program}.6 ${debian}/zekora64.6 ${debian}/changelog
            ${debian}/README.md
    DEPENDS ${render_depends} ${packaging}/zekora.6.in ${packaging}/zekora64.6
            ${packaging}/changelog
    VERBATIM)
  list(TRANSFORM pages APPEND .gz)
  list(APPEND package_files ${pages} ${debian}/changelog.gz ${debian}/README.md.gz)
  file(CONFIGURE OUTPUT ${debian}/${program}.eng CONTENT "plugin spec 0.0\n${program}\nchess\n")
  file(CONFIGURE OUTPUT ${debian}/postinst CONTENT [[#!/bin/sh
set -e
if [ "$1" = configure ]; then
    touch /usr/share/games/plugins/uci/@program@.eng
fi
]] @ONLY)
  install(TARGETS ${debian_programs} RUNTIME DESTINATION games COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${pages} DESTINATION share/man/man6 COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${debian}/README.md.gz ${packaging}/copyright ${debian}/changelog.gz
          DESTINATION share/doc/zekora COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${debian}/${program}.eng DESTINATION share/games/plugins/uci COMPONENT debian
          EXCLUDE_FROM_ALL)
  # The warnings of lintian that do not apply here, and why.
  if(ZEKORA_NO_PIE OR TARGET zekora-arm64)
    install(FILES ${packaging}/lintian-overrides-${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}
            DESTINATION share/lintian/overrides RENAME zekora COMPONENT debian EXCLUDE_FROM_ALL)
  endif()
  list(APPEND CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${debian}/postinst)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

  # The changelog's first entry is this version.
  file(STRINGS ${packaging}/changelog changelog_head LIMIT_COUNT 1)
  if(NOT changelog_head MATCHES "^zekora \\(${ZEKORA_DEBIAN_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog does not begin with version "
                        "${ZEKORA_DEBIAN_VERSION}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${packaging}/changelog)
endif()
add_custom_target(zekora-package-files DEPENDS ${package_files})

# Each package installs one component of each tree (see package-generator.cmake).
set(ZEKORA_ARCHIVE_PROJECTS ${PROJECT_BINARY_DIR} ${PROJECT_NAME} archive /)
foreach(tree ${ZEKORA_PACKAGE_WITH})
  get_filename_component(tree ${tree} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  list(APPEND ZEKORA_ARCHIVE_PROJECTS ${tree} ${PROJECT_NAME} archive /)
endforeach()
set(ZEKORA_DEBIAN_PROJECTS ${PROJECT_BINARY_DIR} ${PROJECT_NAME} debian /)
set(ZEKORA_ARCHIVE_NAME zekora-${ZEKORA_ARCHIVE_VERSION}-${ZEKORA_PACKAGE_SYSTEM})

set(CPACK_PACKAGE_NAME zekora)
set(CPACK_PACKAGE_VENDOR "the Zekora developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chess engine for UCI interfaces")
set(CPACK_DEBIAN_PACKAGE_VERSION ${ZEKORA_DEBIAN_VERSION})
set(CPACK_DEBIAN_FILE_NAME zekora_${ZEKORA_DEBIAN_VERSION}_${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}.deb)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZEKORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Zekora is a chess engine: a console program without a board of its own
that a chess GUI starts and talks to over the Universal Chess Interface
(UCI). This package installs ${about}")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
find_program(ZEKORA_SHLIBDEPS dpkg-shlibdeps)
if(ZEKORA_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
endif()
# The versions tools/release.sh finds the packages by.
file(CONFIGURE OUTPUT release-version
     CONTENT "${ZEKORA_ARCHIVE_VERSION} ${ZEKORA_DEBIAN_VERSION}\n")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/package-generator.cmake)
configure_file(${PROJECT_SOURCE_DIR}/cmake/package-generator.cmake.in
               ${CPACK_PROJECT_CONFIG_FILE} @ONLY)
include(CPack)
