# SPDX-License-Identifier: GPL-3.0-or-later
# The release packages, made with CPack from a built tree:
#   Linux tree:           cpack --config build/CPackConfig.cmake
#                         zekora-1.0-linux.tar.gz (the four programs and README.md) and
#                         zekora_1.0_amd64.deb (the two 64-bit programs, in /usr/games)
#   64-bit Windows tree:  cpack --config build-win64/CPackConfig.cmake
#                         zekora-1.0-windows.zip (the four .exe, with the 32-bit tree named in
#                         ZEKORA_PACKAGE_WITH, and README.txt)
# tools/release.sh builds the three trees and makes all three packages.
set(ZEKORA_PACKAGE_WITH "" CACHE STRING
    "Build trees whose programs join this tree's archive (the 32-bit Windows tree)")

# Only for the packages: a plain "cmake --install" installs the programs into bin/ alone.
install(TARGETS ${ZEKORA_PROGRAMS} RUNTIME DESTINATION . COMPONENT archive EXCLUDE_FROM_ALL)
if(WIN32)
  # As text a Windows user opens with a double-click.
  configure_file(${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION . COMPONENT archive EXCLUDE_FROM_ALL)
  set(ZEKORA_PACKAGE_SYSTEM windows)
  set(CPACK_GENERATOR ZIP)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT archive EXCLUDE_FROM_ALL)
  set(ZEKORA_PACKAGE_SYSTEM linux)
  set(CPACK_GENERATOR TGZ)
  if(TARGET zekora64-popcnt)
    # Where Debian installs its own engines.
    install(TARGETS zekora64-popcnt zekora64 RUNTIME DESTINATION games COMPONENT debian
            EXCLUDE_FROM_ALL)
    list(APPEND CPACK_GENERATOR DEB)
  endif()
endif()

# Each package installs one component of each tree (see package-generator.cmake).
set(ZEKORA_ARCHIVE_PROJECTS ${PROJECT_BINARY_DIR} ${PROJECT_NAME} archive /)
foreach(tree ${ZEKORA_PACKAGE_WITH})
  get_filename_component(tree ${tree} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  list(APPEND ZEKORA_ARCHIVE_PROJECTS ${tree} ${PROJECT_NAME} archive /)
endforeach()
set(ZEKORA_DEBIAN_PROJECTS ${PROJECT_BINARY_DIR} ${PROJECT_NAME} debian /)
set(ZEKORA_ARCHIVE_NAME zekora-${PROJECT_VERSION}-${ZEKORA_PACKAGE_SYSTEM})

set(CPACK_PACKAGE_NAME zekora)
set(CPACK_PACKAGE_VENDOR "the Zekora developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chess engine for UCI interfaces")
set(CPACK_DEBIAN_FILE_NAME zekora_${PROJECT_VERSION}_amd64.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the Zekora developers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Zekora is a chess engine: a console program without a board of its own that a chess GUI starts
and talks to over the Universal Chess Interface (UCI). This package installs zekora64-popcnt
(for any x86-64 processor of the last fifteen years) and zekora64 (for older ones).")
find_program(ZEKORA_SHLIBDEPS dpkg-shlibdeps)
if(ZEKORA_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/package-generator.cmake)
configure_file(${PROJECT_SOURCE_DIR}/cmake/package-generator.cmake.in
               ${CPACK_PROJECT_CONFIG_FILE} @ONLY)
include(CPack)
