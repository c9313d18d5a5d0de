# Windows and macOS properties of the executables: the window without a console and with
# version and icon resources on Windows, an application bundle with its icon on macOS.
# A Linux build gets none of this.

function(brindle_platform_properties target description gui)
  if(NOT TARGET ${target})
    return()
  endif()
  set(packaging ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  if(WIN32)
    foreach(part MAJOR MINOR PATCH TWEAK)
      set(BRINDLE_VERSION_${part} "${PROJECT_VERSION_${part}}")
      if("${BRINDLE_VERSION_${part}}" STREQUAL "")
        set(BRINDLE_VERSION_${part} 0)
      endif()
    endforeach()
    set(BRINDLE_RC_NAME ${target})
    set(BRINDLE_RC_DESCRIPTION "${description}")
    set(BRINDLE_RC_ICON ${packaging}/icons/brindle.ico)
    configure_file(${packaging}/windows/version.rc.in ${CMAKE_BINARY_DIR}/packaging/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/packaging/${target}.rc)
    if(gui)
      set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
    endif()
  elseif(APPLE AND gui)
    set(icns ${packaging}/icons/brindle.icns)
    target_sources(${target} PRIVATE ${icns})
    set_source_files_properties(${icns} TARGET_DIRECTORY ${target}
                                PROPERTIES MACOSX_PACKAGE_LOCATION Resources)
    set_target_properties(${target} PROPERTIES
      MACOSX_BUNDLE ON
      MACOSX_BUNDLE_BUNDLE_NAME Brindle
      MACOSX_BUNDLE_GUI_IDENTIFIER org.brindle.brindle
      MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION}
      MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION}
      MACOSX_BUNDLE_ICON_FILE brindle.icns
      MACOSX_BUNDLE_INFO_STRING "${description}")
  endif()
endfunction()

brindle_platform_properties(brindle "Brindle 8051 flash programmer" TRUE)
brindle_platform_properties(brindle-board "Brindle simulated programmer board" FALSE)
brindle_platform_properties(brindle-cli "Brindle 8051 flash programmer, command line" FALSE)
