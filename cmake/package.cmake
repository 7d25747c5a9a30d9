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
  set(ZEKORA_PACKAGE_SYSTEM linux)
  set(CPACK_GENERATOR TGZ)
  if(TARGET zekora64-popcnt)
    # As Debian installs its own engines, with the documents compressed as its policy asks.
    find_program(ZEKORA_GZIP gzip REQUIRED)
    set(debian ${PROJECT_BINARY_DIR}/debian)
    set(page ${debian}/zekora64-popcnt.6)
    add_custom_command(
      OUTPUT ${page}.gz ${debian}/zekora64.6.gz ${debian}/changelog.gz ${debian}/README.md.gz
      COMMAND ${render} ${packaging}/zekora64-popcnt.6.in ${page} man
              ZEKORA_VERSION_TEXT=${ZEKORA_VERSION_TEXT}
      COMMAND ${CMAKE_COMMAND} -E copy ${packaging}/zekora64.6 ${packaging}/changelog
              ${PROJECT_SOURCE_DIR}/README.md ${debian}
      COMMAND ${ZEKORA_GZIP} -9nf ${page} ${debian}/zekora64.6 ${debian}/changelog
              ${debian}/README.md
      DEPENDS ${render_depends} ${packaging}/zekora64-popcnt.6.in ${packaging}/zekora64.6
              ${packaging}/changelog
      VERBATIM)
    list(APPEND package_files ${page}.gz ${debian}/changelog.gz ${debian}/README.md.gz)
    install(TARGETS zekora64-popcnt zekora64 RUNTIME DESTINATION games COMPONENT debian
            EXCLUDE_FROM_ALL)
    install(FILES ${page}.gz ${debian}/zekora64.6.gz DESTINATION share/man/man6
            COMPONENT debian EXCLUDE_FROM_ALL)
    install(FILES ${debian}/README.md.gz ${packaging}/copyright ${debian}/changelog.gz
            DESTINATION share/doc/zekora COMPONENT debian EXCLUDE_FROM_ALL)
    install(FILES ${packaging}/zekora64-popcnt.eng DESTINATION share/games/plugins/uci
            COMPONENT debian EXCLUDE_FROM_ALL)
    if(ZEKORA_NO_PIE)
      install(FILES ${packaging}/lintian-overrides DESTINATION share/lintian/overrides
              RENAME zekora COMPONENT debian EXCLUDE_FROM_ALL)
    endif()
    list(APPEND CPACK_GENERATOR DEB)

    # The changelog's first entry is this version.
    file(STRINGS ${packaging}/changelog changelog_head LIMIT_COUNT 1)
    if(NOT changelog_head MATCHES "^zekora \\(${ZEKORA_DEBIAN_VERSION}\\) ")
      message(FATAL_ERROR "packaging/changelog does not begin with version "
                          "${ZEKORA_DEBIAN_VERSION}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${packaging}/changelog)
  endif()
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
set(CPACK_DEBIAN_FILE_NAME zekora_${ZEKORA_DEBIAN_VERSION}_amd64.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZEKORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Zekora is a chess engine: a console program without a board of its own
that a chess GUI starts and talks to over the Universal Chess Interface
(UCI). This package installs zekora64-popcnt (for any x86-64 processor of
the last fifteen years) and zekora64 (for older ones).")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
find_program(ZEKORA_SHLIBDEPS dpkg-shlibdeps)
if(ZEKORA_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
endif()
# The versions tools/release.sh finds the packages by.
file(CONFIGURE OUTPUT release-version CONTENT "${ZEKORA_ARCHIVE_VERSION} ${ZEKORA_DEBIAN_VERSION}\n")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/package-generator.cmake)
configure_file(${PROJECT_SOURCE_DIR}/cmake/package-generator.cmake.in
               ${CPACK_PROJECT_CONFIG_FILE} @ONLY)
include(CPack)
