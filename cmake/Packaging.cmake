# The Debian package: `cpack -G DEB` in a build folder configured with CMAKE_INSTALL_PREFIX=/usr
# (scripts/package.sh does all of it). The programs' own install rules are in their CMakeLists; this file
# adds what belongs to the package as a whole: manual pages, the systemd unit, the documents Debian wants,
# the maintainer scripts and the control fields.
include(GNUInstallDirs)

set(TELVANO_PACKAGE_MAINTAINER "TELVANO maintainers <telvano@dravicor.example>"
    CACHE STRING "Maintainer field of the Debian package (name <address>)")
set(TELVANO_DEB_VERSION "${PROJECT_VERSION}-1")

# Compressed documents, made at configure time (a changed source re-runs it): gzip -9n, as lintian wants,
# with no name or time stamp inside, so the same text gives the same bytes.
set(TELVANO_PACKAGE_DOCS ${PROJECT_BINARY_DIR}/package-docs)
file(MAKE_DIRECTORY ${TELVANO_PACKAGE_DOCS})
function(telvano_gzip source target)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${target} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
endfunction()

set(TELVANO_MAN_PAGES telvano.1 telvano-setup.1 pfr-sim.1 Ostrapo.1)
foreach(page IN LISTS TELVANO_MAN_PAGES)
  telvano_gzip(${PROJECT_SOURCE_DIR}/man/${page} ${TELVANO_PACKAGE_DOCS}/${page}.gz)
  install(FILES ${TELVANO_PACKAGE_DOCS}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The changelog's date: SOURCE_DATE_EPOCH when it is set (reproducible builds), else now.
string(TIMESTAMP TELVANO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in ${TELVANO_PACKAGE_DOCS}/changelog.Debian @ONLY)
telvano_gzip(${TELVANO_PACKAGE_DOCS}/changelog.Debian ${TELVANO_PACKAGE_DOCS}/changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${TELVANO_PACKAGE_DOCS}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/telvano.env.example DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME telvano)

# Debian 12 keeps the units of its packages in /lib/systemd/system.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/telvano.service DESTINATION /lib/systemd/system)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvano)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TELVANO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "link between a point-of-sale program and a Serbian fiscal processor")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "TELVANO takes the invoice and command files that a point-of-sale program (POS)\n"
    "drops into an exchange folder, stores each invoice in a Firebird database, has\n"
    "a fiscal processor of the Serbian e-fiscalisation scheme sign it (a local\n"
    "processor over HTTP or a virtual one over HTTPS with a client certificate) and\n"
    "writes the receipt, the verification URL, the QR image or an error file back\n"
    "for the POS. Receipts can be printed on ESC/POS printers.\n"
    "\n"
    "The package holds telvano, the installation tool telvano-setup, the\n"
    "receipt-print sender Ostrapo, the processor simulator pfr-sim for tests and\n"
    "demonstrations, and telvano.service for shop servers that run it unattended.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps; the embedded database engine is a plug-in
# that libfbclient loads at run time, and adduser makes the service's user.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "firebird3.0-server-core, adduser")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firebird3.0-server, firebird3.0-utils, openssl")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/prerm
    ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
