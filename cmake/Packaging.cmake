# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in the build folder makes zindlechat_<version>_<arch>.deb from
# what `cmake --install` puts under /usr (the password file under /etc).
set(CPACK_PACKAGE_NAME zindlechat)
set(CPACK_PACKAGE_VENDOR "ZindleChat")
set(CPACK_PACKAGE_CONTACT "ZindleChat-ontwikkelaars <ontwikkelaars@zindlechat.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chat room server and client for a local network")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "ZindleChat hosts one text chat room (ZindleChatServer, with a window, or the\n"
  "daemon zindlechatd as a systemd service) and lets users chat in it and send\n"
  "each other files (ZindleChatClient). The interface is Dutch.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://zindlechat.example")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Install with DESTDIR: the unit is then written with the real /usr paths, and
# the password file lands in the package's /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# The password file is the admin's: an upgrade must not overwrite it.
set(conffiles ${CMAKE_CURRENT_BINARY_DIR}/conffiles)
file(WRITE ${conffiles} "/etc/zindlechat-server/password\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${conffiles})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
