# The Debian package: `cpack -G DEB` in the build folder makes brindle_VERSION_ARCH.deb.
set(CPACK_PACKAGE_NAME brindle)
set(CPACK_PACKAGE_VENDOR "The Brindle developers")
set(CPACK_PACKAGE_CONTACT "The Brindle developers <brindle@brindle-electronics.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programmer for Atmel 8051 flash chips on the Brindle board")
set(CPACK_PACKAGE_DESCRIPTION
    "Brindle drives the Brindle programmer board, a serial programmer for Atmel
8051-family flash chips (AT89C1051, AT89C2051, AT89C4051, AT89C51, AT89C52,
AT89S8252, AT89S51, AT89S52 and AT89C55WD). It loads an Intel HEX file into a
64 KB code image, shows the image as a hex dump, and identifies, erases,
blank-checks, writes, reads, verifies and locks the chip in the board's socket.

A simulated board (brindle --simulate, or brindle-board on a pseudo-terminal)
stands in for the hardware, so the program can be tried without a board.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.brindle-electronics.example/brindle/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The grid's preferred font, and Qt's platform and SQL driver plugins (the serial-number store's
# SQLite file and PostgreSQL server), which no library of the programs' names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum, qt6-qpa-plugins, libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

if(TARGET brindle-cli)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "
brindle-cli does the same from the command line, on several boards at once.")
endif()

include(CPack)
