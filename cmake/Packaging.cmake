# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in the build folder makes three packages from what
# `cmake --install` puts under /usr (the settings under /etc), one per component:
#   zindlechat-server      the daemon, zindlechatctl, the unit and its settings
#                          (Qt Core and Network only: no Widgets, Gui or X)
#   zindlechat-server-gui  the server window
#   zindlechat-client      the client
set(CPACK_PACKAGE_NAME zindlechat)
set(CPACK_PACKAGE_VENDOR "ZindleChat")
set(CPACK_PACKAGE_CONTACT "ZindleChat-ontwikkelaars <ontwikkelaars@zindlechat.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://zindlechat.example")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Install with DESTDIR: the unit is then written with the real /usr paths, and
# the settings files land in the package's /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL server servergui client)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME zindlechat-server)
set(CPACK_DEBIAN_SERVERGUI_PACKAGE_NAME zindlechat-server-gui)
set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME zindlechat-client)
# The maintainer scripts call deb-systemd-helper and deb-systemd-invoke.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "init-system-helpers (>= 1.52)")
set(CPACK_DEBIAN_SERVERGUI_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_CLIENT_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_COMPONENT_SERVER_DESCRIPTION
  "chat room server daemon for a local network\n"
  "ZindleChat hosts one text chat room. This package holds the server as a\n"
  "systemd service (zindlechatd), without any graphical library, and\n"
  "zindlechatctl to moderate the room it runs. The interface is Dutch.")
set(CPACK_COMPONENT_SERVERGUI_DESCRIPTION
  "chat room server with a window\n"
  "ZindleChat hosts one text chat room. This package holds the server program\n"
  "with its window (ZindleChatServer). The interface is Dutch.")
set(CPACK_COMPONENT_CLIENT_DESCRIPTION
  "chat room client for a local network\n"
  "ZindleChat lets users chat in a room and send each other files. This package\n"
  "holds the client (ZindleChatClient). The interface is Dutch.")
foreach(component SERVER SERVERGUI CLIENT)
  string(REPLACE ";" "" CPACK_COMPONENT_${component}_DESCRIPTION "${CPACK_COMPONENT_${component}_DESCRIPTION}")
endforeach()

# The settings are the administrator's: an upgrade must not overwrite them. The
# maintainer scripts do what dh_installsystemd would.
set(control ${CMAKE_CURRENT_BINARY_DIR}/deb-control)
file(WRITE ${control}/conffiles
  "/etc/zindlechat-server/password\n/etc/zindlechat-server/zindlechat-server.conf\n")
foreach(script postinst prerm postrm)
  file(COPY_FILE ${PROJECT_SOURCE_DIR}/packaging/debian/server.${script} ${control}/${script})
  file(CHMOD ${control}/${script} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
endforeach()
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
  ${control}/conffiles ${control}/postinst ${control}/prerm ${control}/postrm)

include(CPack)
