# Install rules, platform properties of the executables, and the Debian and Windows packages.
# Keep this include last in the top-level CMakeLists.txt: it acts on whichever executables
# the folders before it defined.
include(${CMAKE_CURRENT_LIST_DIR}/platforms.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/install.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
