# The Windows package: `cmake --install` lays out one folder that runs where it lands (the
# programs beside the Qt and MinGW runtime DLLs and Qt's plugin folders, with the licence
# texts), and `cpack` makes brindle-VERSION-win64.exe (NSIS) and brindle-VERSION-win64.zip of it.
# Included before debian.cmake, whose include(CPack) writes these settings out.

if(NOT WIN32)
  return()
endif()

get_target_property(BRINDLE_QT_CORE_TYPE Qt6::Core TYPE)
if(NOT BRINDLE_QT_CORE_TYPE STREQUAL SHARED_LIBRARY)
  message(FATAL_ERROR "The Windows package ships Qt's DLLs; ${Qt6_DIR} is not a shared Qt")
endif()

# Every Qt library either program loads, from the Qt this build found; the DLLs go out as
# Qt built them (LGPL).
foreach(module Core Gui Widgets SerialPort Sql)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
endforeach()

# Plugins load at run time, so no import table names them. windows is the platform and
# offscreen runs the window headless (tests, Wine without a display); windowsvista is the
# native look. The icons are PNG, which QtGui reads itself. The serial-number store opens
# SQLite files itself and reaches PostgreSQL through ODBC (Windows' odbc32.dll and the
# PostgreSQL ODBC driver the station installs).
# Qt 6.4's Qt6Sql does not load its drivers' targets itself.
foreach(plugin QSQLiteDriverPlugin QODBCDriverPlugin)
  if(NOT TARGET Qt6::${plugin})
    find_package(Qt6${plugin} CONFIG REQUIRED PATHS ${Qt6Sql_DIR} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  endif()
endforeach()
foreach(plugin QWindowsIntegrationPlugin QOffscreenIntegrationPlugin QWindowsVistaStylePlugin
               QSQLiteDriverPlugin QODBCDriverPlugin)
  get_target_property(BRINDLE_PLUGIN_TYPE Qt6::${plugin} QT_PLUGIN_TYPE)
  install(FILES $<TARGET_FILE:Qt6::${plugin}> DESTINATION ${BRINDLE_PLUGIN_TYPE})
endforeach()

# Qt's SQLite driver links to SQLite's own DLL, built into the Qt prefix beside Qt's DLLs.
get_target_property(BRINDLE_QT_CORE_DLL Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT BRINDLE_QT_CORE_DLL)
  get_target_property(BRINDLE_QT_CORE_DLL Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(BRINDLE_QT_BIN_DIR ${BRINDLE_QT_CORE_DLL} DIRECTORY)
if(NOT EXISTS ${BRINDLE_QT_BIN_DIR}/sqlite3.dll)
  message(FATAL_ERROR "No sqlite3.dll beside ${BRINDLE_QT_CORE_DLL}: Qt's SQLite driver cannot load without it")
endif()
install(FILES ${BRINDLE_QT_BIN_DIR}/sqlite3.dll DESTINATION .)

# The compiler's own runtime, found where the compiler links it from. Debian ships these with
# their debug information (libstdc++ alone is over 20 MB), so the package gets stripped copies.
if(NOT CMAKE_STRIP)
  message(FATAL_ERROR "No strip for ${CMAKE_CXX_COMPILER}: set CMAKE_STRIP")
endif()
set(BRINDLE_RUNTIME_STAGE ${CMAKE_BINARY_DIR}/packaging/windows-runtime)
set(BRINDLE_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE BRINDLE_RUNTIME_DLL OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${BRINDLE_RUNTIME_DLL}" OR NOT EXISTS "${BRINDLE_RUNTIME_DLL}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
  endif()
  get_filename_component(BRINDLE_RUNTIME_DLL ${BRINDLE_RUNTIME_DLL} REALPATH)
  add_custom_command(OUTPUT ${BRINDLE_RUNTIME_STAGE}/${dll}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${BRINDLE_RUNTIME_STAGE}
                     COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${BRINDLE_RUNTIME_STAGE}/${dll} ${BRINDLE_RUNTIME_DLL}
                     DEPENDS ${BRINDLE_RUNTIME_DLL})
  list(APPEND BRINDLE_RUNTIME_DLLS ${BRINDLE_RUNTIME_STAGE}/${dll})
endforeach()
add_custom_target(brindle_windows_runtime ALL DEPENDS ${BRINDLE_RUNTIME_DLLS})
install(FILES ${BRINDLE_RUNTIME_DLLS} DESTINATION .)

# Licences: Brindle's, Qt's (its bundled third-party code included; not the documentation
# licence, as no Qt documentation ships), SQLite's dedication and the MinGW runtime's.
set(BRINDLE_QT_LICENSES_DIR ${CMAKE_CURRENT_LIST_DIR}/windows/qt-licenses CACHE PATH
    "Licence texts of the Qt whose DLLs the Windows package ships")
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(DIRECTORY ${BRINDLE_QT_LICENSES_DIR}/ DESTINATION licenses/Qt)
# winpthreads' notice must travel with its DLL; Debian keeps both runtimes' terms here.
foreach(doc mingw-w64-x86-64-dev gcc-mingw-w64-x86-64-posix-runtime)
  if(EXISTS /usr/share/doc/${doc}/copyright)
    install(FILES /usr/share/doc/${doc}/copyright DESTINATION licenses/MinGW-w64 RENAME ${doc}.txt)
  else()
    message(WARNING "No /usr/share/doc/${doc}/copyright: the package lacks the MinGW runtime's terms")
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/examples/blink.hex ${PROJECT_SOURCE_DIR}/examples/blink.c
              ${PROJECT_SOURCE_DIR}/examples/README.md
        DESTINATION examples)

# --- CPack: the installer and the portable zip --------------------------------------------------
# Verbatim: the NSIS lines below carry $ and \, which must reach makensis as written.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_FILE_NAME brindle-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Brindle)
# One key for every version, so a newer installer finds and replaces an older one.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Brindle)

# Debian's makensis builds 32-bit installers by default, which a 64-bit-only Windows (or Wine)
# cannot start. CPack joins the arguments into one command line and splits it again at
# spaces, unless a backslash escapes them.
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS "-XTarget\\ amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Brindle)
set(CPACK_NSIS_DISPLAY_NAME Brindle)
set(CPACK_NSIS_MUI_ICON ${CMAKE_CURRENT_LIST_DIR}/icons/brindle.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_CURRENT_LIST_DIR}/icons/brindle.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME brindle.exe)
set(CPACK_NSIS_URL_INFO_ABOUT "https://www.brindle-electronics.example/brindle/")
set(CPACK_NSIS_HELP_LINK "https://www.brindle-electronics.example/brindle/")
set(CPACK_NSIS_CONTACT "brindle@brindle-electronics.example")
set(CPACK_NSIS_MODIFY_PATH OFF)
# An earlier install is removed by installer.nsh instead, its uninstaller included.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL OFF)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# SetOutPath: a shortcut starts in the folder that is current when it is made.
set(CPACK_NSIS_CREATE_ICONS_EXTRA "
  SetOutPath \"$INSTDIR\"
  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Brindle.lnk\" \"$INSTDIR\\brindle.exe\"
  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Brindle with a Simulated Board.lnk\" \"$INSTDIR\\brindle.exe\" \"--simulate\"
  Call BrindleCreateShortcuts")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "
  Delete \"$SMPROGRAMS\\$MUI_TEMP\\Brindle.lnk\"
  Delete \"$SMPROGRAMS\\$MUI_TEMP\\Brindle with a Simulated Board.lnk\"
  Delete \"$SMPROGRAMS\\$MUI_TEMP\\Brindle command prompt.lnk\"")
# Brindle's own parts (installer.nsh): after the licence a page that offers the user's PATH;
# before the files, the removal of an earlier install; after them the file association and the
# PATH; in the uninstaller, the undoing of both.
set(CPACK_NSIS_DEFINES "
  !define BRINDLE_VENDOR \"The Brindle developers\"
  !include \"${CMAKE_CURRENT_LIST_DIR}/windows/installer.nsh\"")
set(CPACK_NSIS_LICENSE_PAGE "!insertmacro MUI_PAGE_LICENSE \"${PROJECT_SOURCE_DIR}/LICENSE\"
  Page custom BrindleCommandLinePage BrindleCommandLinePageLeave")
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "Call BrindleRemoveEarlierInstall")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "Call BrindleRegister")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "Call un.BrindleUnregister")
