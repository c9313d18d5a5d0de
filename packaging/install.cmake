# Installation into the GNU directories: the executables that this build has (brindle,
# brindle-board, brindle-cli), their manual pages, the menu entry, icons and metainfo.
# Included from the top level after every executable's folder, so each one that exists is
# installed without its folder naming any of this.
include(GNUInstallDirs)

set(BRINDLE_APP_ID org.brindle.brindle)
# The release date of PROJECT_VERSION: the manual pages and the metainfo carry it.
set(BRINDLE_RELEASE_DATE 2026-12-07)
# Debian keeps a package's documents under its package name, not the project's.
set(BRINDLE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/brindle)
set(BRINDLE_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(BRINDLE_STAGE ${CMAKE_BINARY_DIR}/packaging)

set(BRINDLE_EXECUTABLES)
foreach(exe brindle brindle-board)
  if(TARGET ${exe})
    list(APPEND BRINDLE_EXECUTABLES ${exe})
  endif()
endforeach()
if(TARGET brindle-cli)
  list(APPEND BRINDLE_EXECUTABLES brindle-cli)
endif()

# On Windows the programs sit at the top of their folder, beside the DLLs and plugins they load.
set(BRINDLE_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
if(WIN32)
  set(BRINDLE_INSTALL_BINDIR .)
endif()
install(TARGETS ${BRINDLE_EXECUTABLES}
        RUNTIME DESTINATION ${BRINDLE_INSTALL_BINDIR}
        BUNDLE DESTINATION .)

if(NOT UNIX OR APPLE)
  return()
endif()

# Manual pages, compressed as Debian ships them (gzip -n: no name or time in the header).
find_program(BRINDLE_GZIP gzip REQUIRED)
set(BRINDLE_MAN_PAGES)
foreach(exe IN LISTS BRINDLE_EXECUTABLES)
  set(BRINDLE_MAN_DATE ${BRINDLE_RELEASE_DATE})
  configure_file(${BRINDLE_PACKAGING_DIR}/man/${exe}.1.in ${BRINDLE_STAGE}/man/${exe}.1 @ONLY)
  add_custom_command(OUTPUT ${BRINDLE_STAGE}/man/${exe}.1.gz
                     COMMAND ${BRINDLE_GZIP} -9nf -k ${exe}.1
                     DEPENDS ${BRINDLE_STAGE}/man/${exe}.1
                     WORKING_DIRECTORY ${BRINDLE_STAGE}/man)
  list(APPEND BRINDLE_MAN_PAGES ${BRINDLE_STAGE}/man/${exe}.1.gz)
endforeach()
install(FILES ${BRINDLE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The changelog's top entry must be this version: a stale one would misdate the package.
file(STRINGS ${BRINDLE_PACKAGING_DIR}/changelog BRINDLE_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT BRINDLE_CHANGELOG_TOP MATCHES "^brindle \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with '${BRINDLE_CHANGELOG_TOP}', not version ${PROJECT_VERSION}")
endif()
add_custom_command(OUTPUT ${BRINDLE_STAGE}/changelog.gz
                   COMMAND ${BRINDLE_GZIP} -9n -c ${BRINDLE_PACKAGING_DIR}/changelog > changelog.gz
                   DEPENDS ${BRINDLE_PACKAGING_DIR}/changelog
                   WORKING_DIRECTORY ${BRINDLE_STAGE})
add_custom_target(brindle_packaging_files ALL DEPENDS ${BRINDLE_MAN_PAGES} ${BRINDLE_STAGE}/changelog.gz)

# The copyright file names the licence and carries the text of LICENSE.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE BRINDLE_LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" BRINDLE_COPYRIGHT "${BRINDLE_LICENSE}")
set(BRINDLE_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^MIT License\n\nCopyright[^\n]*\n\n" "" BRINDLE_LICENSE_TEXT "${BRINDLE_LICENSE}")
string(STRIP "${BRINDLE_LICENSE_TEXT}" BRINDLE_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" BRINDLE_LICENSE_TEXT "${BRINDLE_LICENSE_TEXT}")
string(REPLACE "\n" "\n " BRINDLE_LICENSE_TEXT " ${BRINDLE_LICENSE_TEXT}")
configure_file(${BRINDLE_PACKAGING_DIR}/copyright.in ${BRINDLE_STAGE}/copyright @ONLY)
install(FILES ${BRINDLE_STAGE}/copyright ${BRINDLE_STAGE}/changelog.gz DESTINATION ${BRINDLE_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/examples/blink.hex ${PROJECT_SOURCE_DIR}/examples/blink.c
              ${PROJECT_SOURCE_DIR}/examples/README.md
        DESTINATION ${BRINDLE_DOCDIR}/examples)

# Menu entry, icons and metainfo belong to the window.
if(TARGET brindle)
  install(FILES ${BRINDLE_PACKAGING_DIR}/${BRINDLE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # The desktop's file type the entry opens; dpkg's trigger updates the MIME database.
  install(FILES ${BRINDLE_PACKAGING_DIR}/${BRINDLE_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME ${BRINDLE_APP_ID}.xml)
  install(FILES ${BRINDLE_PACKAGING_DIR}/icons/brindle.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${BRINDLE_PACKAGING_DIR}/icons/brindle-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME brindle.png)
  endforeach()
  set(BRINDLE_PROVIDED_BINARIES)
  foreach(exe IN LISTS BRINDLE_EXECUTABLES)
    string(APPEND BRINDLE_PROVIDED_BINARIES "    <binary>${exe}</binary>\n")
  endforeach()
  string(STRIP "${BRINDLE_PROVIDED_BINARIES}" BRINDLE_PROVIDED_BINARIES)
  set(BRINDLE_PROVIDED_BINARIES "    ${BRINDLE_PROVIDED_BINARIES}")
  configure_file(${BRINDLE_PACKAGING_DIR}/${BRINDLE_APP_ID}.metainfo.xml.in
                 ${BRINDLE_STAGE}/${BRINDLE_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${BRINDLE_STAGE}/${BRINDLE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
