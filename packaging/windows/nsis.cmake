# The Windows setup that `cpack -G NSIS` makes in the cross build folder: qelo-<version>-windows-x64-setup.exe.
# It runs NSIS.template.in beside this file, which installs per machine into Program Files\qelo, with one
# Start-menu shortcut and an uninstall entry, and replaces an earlier version in place. nsis-layout.cmake lays out
# and strips the staged files; sign.sh signs them when a publisher gives a certificate.

# The publisher as the licence names it. The licence page wraps the paragraphs itself, in Windows line ends.
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" license)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/LICENSE")
string(REGEX MATCH "Copyright \\(c\\) [0-9]+ ([^\n]+)" _ "${license}")
set(CPACK_PACKAGE_VENDOR "${CMAKE_MATCH_1}")
string(REGEX REPLACE "([^\n])\n([^\n])" "\\1 \\2" license "${license}")
string(REPLACE "\n" "\r\n" license "${license}")
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/nsis/LICENSE.txt" "${license}")

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME qelo)
set(CPACK_PACKAGE_FILE_NAME "qelo-${PROJECT_VERSION}-windows-x64-setup")
set(CPACK_PACKAGE_INSTALL_DIRECTORY qelo)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY qelo)
set(CPACK_NSIS_PACKAGE_NAME qelo)
set(CPACK_NSIS_DISPLAY_NAME qelo)
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_CURRENT_BINARY_DIR}/nsis/LICENSE.txt")
set(CPACK_NSIS_MUI_ICON "${QELO_ICO_FILE}")
set(CPACK_NSIS_MUI_UNIICON "${QELO_ICO_FILE}")
# A 64-bit setup writes the 64-bit registry and installs into the 64-bit Program Files.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# nsis-layout.cmake strips every program and library; CPack's own stripping would reach only qelo.exe.
set(CPACK_STRIP_FILES OFF)
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_SOURCE_DIR}/windows/nsis-layout.cmake")
set(CPACK_QELO_STRIP "${CMAKE_STRIP}")
set(CPACK_QELO_SIGN "${CMAKE_CURRENT_SOURCE_DIR}/windows/sign.sh")
# CPack looks for NSIS.template.in on the module path before taking its own.
list(PREPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_SOURCE_DIR}/windows")
include(CPack)
