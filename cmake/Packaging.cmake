# Installing rilo-server as Linux operators do: `cmake --install` (program, systemd unit,
# documentation) and a Debian package built by CPack (`make package`).
include(GNUInstallDirs)
set(RILO_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/rilo-server)

# Installing and packaging need the program alone, not every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS rilo-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/operating.md
        DESTINATION ${RILO_DOC_DIR})
# The unit names the program and its page by their installed paths, which are known only at
# install time: the package installs under /usr, `cmake --install --prefix` anywhere.
install(CODE "
  set(RILO_BIN_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(RILO_DOC_DIR \"\${CMAKE_INSTALL_PREFIX}/${RILO_DOC_DIR}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/rilo-server.service.in\"
                 \"${CMAKE_BINARY_DIR}/packaging/rilo-server.service\" @ONLY)
  file(INSTALL \"${CMAKE_BINARY_DIR}/packaging/rilo-server.service\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
")

set(RILO_PACKAGE_MAINTAINER "RiloServer maintainers <rilo-server@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rilo-server)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "background automation server of a chain of service stores")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "RiloServer adds up a store's takings, reminds of booked appointments and refreshes the\n\
store's master data from head office, on Microsoft SQL Server (over ODBC) or on its\n\
embedded SQLite engine. rilo-server serves it to any host over JSON lines.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${RILO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: the runtime packages of the libraries the program links, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SQL Server is reached through FreeTDS's ODBC driver unless the host names another one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS tdsodbc)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Installed with DESTDIR, so that the install step sees /usr as its prefix (see the unit above).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
