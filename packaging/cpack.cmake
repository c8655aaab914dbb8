# What `cpack` makes in this build folder. The MinGW-w64 cross build makes the Windows setup; a build folder that
# makes no package says which script does, instead of CPack's "CPack project name not specified".
if(WIN32 AND CMAKE_CROSSCOMPILING)
    include(windows/nsis.cmake)
elseif(NOT CPack_CMake_INCLUDED)
    file(WRITE "${CMAKE_BINARY_DIR}/CPackConfig.cmake" [[
message(FATAL_ERROR "This build folder makes no package. Each is made by a script, in its own build folder:\n"
    "  the Debian package (.deb):            bash scripts/package.sh      (build-package/, cpack -G DEB)\n"
    "  the Windows setup (NSIS) and the zip: bash scripts/windows.sh      (build-windows/, cpack -G NSIS)")
]])
endif()
