# What `cmake --install` puts where, and the Debian package `cpack` makes of it (README,
# Installing). The package's dependencies are what the binary links (dpkg-shlibdeps) plus what
# it loads at run time without linking.
include(GNUInstallDirs)

install(TARGETS mirano RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/mirano.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/mirano.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/io.github.mirano.Mirano.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page is installed compressed, as Debian's are, where gzip is at hand.
find_program(MIRANO_GZIP gzip)
if(MIRANO_GZIP)
  set(MIRANO_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/mirano.1.gz)
  # -n: no name or time stamp inside, so that the same page makes the same package.
  add_custom_command(OUTPUT ${MIRANO_MAN_PAGE}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/data/mirano.1 mirano.1
    COMMAND ${MIRANO_GZIP} -9 -n -f mirano.1
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DEPENDS data/mirano.1 VERBATIM)
  add_custom_target(mirano_man_page ALL DEPENDS ${MIRANO_MAN_PAGE})
else()
  set(MIRANO_MAN_PAGE data/mirano.1)
endif()
install(FILES ${MIRANO_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(MIRANO_PACKAGE_CONTACT "The Mirano developers <maintainers@users.noreply.c-seed-6ada3a9c.example>"
  CACHE STRING "Maintainer of the Debian package: name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirano)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${MIRANO_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep a live floating copy of any window on screen")
set(CPACK_PACKAGE_DESCRIPTION "Mirano is a tray utility that mirrors another application's window, or a
rectangle of it, in a small panel that floats above all other windows, on X11
desktops and on Wayland compositors.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded, not linked: the SVG icon engine that draws the tray and window icon (Qt's X11
# platform plugin comes with the Qt GUI library).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
if(TARGET mirano_wayland)
  # And on Wayland Qt's Wayland platform plugin and the PipeWire client's protocol modules.
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-wayland, libpipewire-0.3-modules")
  # Mirroring on Wayland needs the desktop's screen-cast portal and the PipeWire daemon, which a
  # Wayland desktop brings; on X11 neither is used.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pipewire, xdg-desktop-portal")
endif()
include(CPack)
