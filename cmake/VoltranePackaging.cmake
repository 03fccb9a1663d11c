# The Debian package: `cpack -G DEB` in a release build gives voltrane_<version>_<arch>.deb.
# Depends comes from the libraries the binaries link (dpkg-shlibdeps) plus what they load or
# read at run time, which no linker sees: the fonts of the symbols and the Chinese texts, and
# the SQLite driver plugin of the history file (libqt6sql6 itself is linked). The
# platform plugins come with libqt6gui6 and the TLS backends with libqt6network6, both
# already among the linked libraries.
include(GNUInstallDirs)

set(VOLTRANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/voltrane)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${VOLTRANE_DOC_DIR})

# A native package carries its changelog gzipped, without timestamps, as Debian policy asks.
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -n -9 -c ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
    COMMENT "Compressing the package changelog")
add_custom_target(voltrane_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${VOLTRANE_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME voltrane)
set(CPACK_PACKAGE_VENDOR "Voltrane developers")
set(CPACK_PACKAGE_CONTACT "Voltrane developers <dev@voltrane.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "power monitor for the tray")
# The synopsis comes from the summary; these lines are the extended description.
set(CPACK_PACKAGE_DESCRIPTION
    "Voltrane shows the present power figure of the machine in the system tray.\n"
    "Its panel tells, in Simplified Chinese, where the power comes from and where\n"
    "it goes: adapter input, battery in and out, whole-system draw and its split\n"
    "over the components. The package also holds voltrane-probe, which prints the\n"
    "same readings as JSON.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://voltrane.app")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-material-design-icons-iconfont, fonts-noto-cjk, libqt6sql6-sqlite")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
