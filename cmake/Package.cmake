# The Debian package: `cpack -G DEB` in a Release tree builds
# brantle-vantrel_<version>_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brantle-vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Brantle Vantrel authors")
set(CPACK_PACKAGE_CONTACT "Brantle Vantrel maintainers <author@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "online time counter for metered connections")
set(CPACK_PACKAGE_DESCRIPTION
  "Brantle Vantrel lives in the notification area, watches NetworkManager's
connections and counts the minutes spent online for each connection profile:
dial-up, PPPoE, mobile broadband or VPN. Each profile can have an hour limit,
past which it warns every minute, and on the first of a month it offers to
reset all counts. The counts are kept in a plain INI file in the user's
configuration folder. It starts at every login.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.example.org/brantle-vantrel/")
# The libraries from dpkg-shlibdeps, and the platform plugins Qt loads at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own texts (standard buttons, the file dialog) in the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")
# Staged through DESTDIR with the real prefix, so the login start lands in /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/xdg/autostart/brantle-vantrel.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Stripping, documentation and overrides the Debian way: see the script.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianDocs.cmake)
set(CPACK_BV_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/data/debian)
set(CPACK_BV_STRIP ${CMAKE_STRIP})
include(CPack)
