# The Debian package that `cpack -G DEB` makes in the build folder: qelo_<version>-<revision>_<arch>.deb.
# Included by packaging/CMakeLists.txt with QELO_DEB_PACKAGE; packaging/linux/deb-layout.cmake finishes the staged tree.

find_program(dpkg_query dpkg-query NO_CACHE)
if(NOT dpkg_query)
    message(FATAL_ERROR "QELO_DEB_PACKAGE needs dpkg-query, which is not installed: the Debian package is made on "
        "Debian or Ubuntu. A package for another distribution needs only -DQELO_PER_USER_SETTINGS=ON "
        "(docs/building.md).")
endif()

set(QELO_DEB_MAINTAINER "The qelo authors <qelo@example.org>" CACHE STRING
    "Maintainer field of the Debian package and its changelog")

# The package describes itself as the software centres do: the metainfo's English summary and first paragraph.
file(READ linux/qelo.metainfo.xml.in metainfo)
string(REGEX MATCH "<summary>([^<]+)</summary>" _ "${metainfo}")
set(summary "${CMAKE_MATCH_1}")
string(REGEX MATCH "<description>[ \n]*<p>([^<]+)</p>" _ "${metainfo}")
# Refilled to short lines, as dpkg's tools expect.
string(REGEX MATCHALL "[^ \n]+" words "${CMAKE_MATCH_1}")
set(paragraph "")
set(line "")
foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(length GREATER 79)
        string(APPEND paragraph "${line}\n")
        set(line "")
    endif()
    string(APPEND line " ${word}")
endforeach()
string(REGEX REPLACE "(^|\n) " "\\1" paragraph "${paragraph}${line}")

# Debian's copyright format, built from LICENSE so that the two cannot differ.
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${license}")
set(holder "${CMAKE_MATCH_1}")
string(FIND "${license}" "Permission is hereby" start)
string(SUBSTRING "${license}" ${start} -1 license)
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
set(deb_dir "${CMAKE_CURRENT_BINARY_DIR}/deb")
file(WRITE "${deb_dir}/copyright"
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: qelo\n\n"
    "Files: *\nCopyright: ${holder}\nLicense: Expat\n ${license}\n")

# One package a Debian release, each built on that release against its libraries. The Debian revision tells them
# apart and orders them: 1.0.0-1~deb12u1 < 1.0.0-1~deb13u1 < 1.0.0-1, so an upgrade of the system to the next
# release also upgrades qelo to the build for it, and both files can sit in one folder or one apt repository.
file(STRINGS /etc/os-release os_release REGEX "^(ID|VERSION_ID|VERSION_CODENAME)=")
foreach(line IN LISTS os_release)
    string(REGEX MATCH "^([A-Z_]+)=\"?([^\"]*)\"?$" _ "${line}")
    set(os_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
if(os_ID STREQUAL "debian")
    set(os_ID deb)
endif()
if(NOT os_VERSION_ID)
    set(os_VERSION_ID "${os_VERSION_CODENAME}")
endif()
set(QELO_DEB_REVISION "1~${os_ID}${os_VERSION_ID}u1" CACHE STRING
    "Debian revision of the package, after the version (default: this release's, such as 1~deb12u1)")
set(deb_version "${PROJECT_VERSION}-${QELO_DEB_REVISION}")

# The Debian changelog has an entry for each version in CHANGELOG.md, at its date; CHANGELOG.md itself, what
# changed for players, is also the upstream changelog.gz, where Debian's tools look for it (the README links to
# CHANGELOG.md, which stays). -n keeps the build time out of the compressed copies.
set(entries "")
string(REGEX MATCHALL "\n## [0-9.]+ - [0-9-]+\n" headings "${QELO_CHANGELOG}")
foreach(heading IN LISTS headings)
    string(REGEX MATCH "## ([0-9.]+) - ([0-9-]+)" _ "${heading}")
    set(version "${CMAKE_MATCH_1}")
    execute_process(COMMAND date -R -u -d "${CMAKE_MATCH_2} 12:00"
        OUTPUT_VARIABLE time OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND entries "qelo (${version}-${QELO_DEB_REVISION}) ${os_VERSION_CODENAME}; urgency=medium\n\n"
        "  * qelo ${version} for ${os_VERSION_CODENAME}; what changed is in changelog.gz.\n\n"
        " -- ${QELO_DEB_MAINTAINER}  ${time}\n\n")
endforeach()
string(STRIP "${entries}" entries)
file(WRITE "${deb_dir}/changelog.Debian" "${entries}\n")
execute_process(COMMAND gzip -9 -n -c "${deb_dir}/changelog.Debian"
    OUTPUT_FILE "${deb_dir}/changelog.Debian.gz" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND gzip -9 -n -c "${PROJECT_SOURCE_DIR}/CHANGELOG.md"
    OUTPUT_FILE "${deb_dir}/changelog.gz" COMMAND_ERROR_IS_FATAL ANY)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qelo)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${summary}")
set(CPACK_PACKAGE_DESCRIPTION "${paragraph}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE "${QELO_DEB_REVISION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QELO_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# dpkg-shlibdeps finds the libraries; the plug-ins Qt loads at run time (X11, and SVG for the icons) are named
# by the packages that own them here, as releases move them (Debian 13 split qt6-svg-plugins off libqt6svg6).
set(plugin_packages)
foreach(plugin IN ITEMS platforms/libqxcb.so imageformats/libqsvg.so iconengines/libqsvgicon.so)
    execute_process(COMMAND "${dpkg_query}" -S "*/qt6/plugins/${plugin}"
        OUTPUT_VARIABLE owner RESULT_VARIABLE missing ERROR_QUIET)
    if(missing)
        message(FATAL_ERROR "No installed package owns Qt's ${plugin} (scripts/setup.sh installs it)")
    endif()
    string(REGEX REPLACE "[:,].*" "" owner "${owner}")
    list(APPEND plugin_packages "${owner}")
endforeach()
list(REMOVE_DUPLICATES plugin_packages)
list(JOIN plugin_packages ", " plugin_packages)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${plugin_packages}, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_SOURCE_DIR}/linux/deb-layout.cmake")
set(CPACK_QELO_DOC_FILES "${deb_dir}/copyright" "${deb_dir}/changelog.gz" "${deb_dir}/changelog.Debian.gz")
include(CPack)
