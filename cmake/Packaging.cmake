# Install rules and the Debian package: `cpack -G DEB` in the build folder
# packs what is built. The programs go to bin/, the plug-in and its sample
# script to lib/qelvor/plugins/ (the host looks in ../lib/qelvor/plugins/
# beside the program's folder), the desktop entry and the icon to the XDG places. The man pages and
# the completion bring their own install rules.
include(GNUInstallDirs)

install(TARGETS qelvor qelvor-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET LuaPlugins)
    install(TARGETS LuaPlugins LIBRARY DESTINATION lib/qelvor/plugins)
    install(FILES ${PROJECT_SOURCE_DIR}/plugins/lua/LuaProc.lua DESTINATION lib/qelvor/plugins)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/qelvor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/qelvor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qelvor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qelvor)
set(CPACK_PACKAGE_VENDOR "Qelvor project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Qelvor developers <qelvor@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test and debug serial, TCP and UDP communication links")
# One bracket string: a ";" in a quoted argument would split it into a list.
set(CPACK_PACKAGE_DESCRIPTION [=[Qelvor talks to a device or a peer program over a serial line, a TCP server or
client, or a UDP socket; records every sent and received frame with a time
stamp and its control bytes spelled out; splits the received stream into
frames and answers each one automatically (ASTM E1381 style line protocols);
and keeps logs. qelvor is the desktop program, qelvor-cli the same engine for
scripts and servers. A Lua plug-in rewrites response-file lines.]=])
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The dependencies are read off the built binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
