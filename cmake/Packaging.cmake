# The Debian packages: `cpack -G DEB` in a build folder configured with CMAKE_INSTALL_PREFIX=/usr
# (scripts/package.sh does all of it). The programs' own install rules are in their CMakeLists; this file
# adds what belongs to the packages as a whole: manual pages, the systemd unit, the documents Debian wants,
# the maintainer scripts and the control fields.
#
# Two packages, one per install component:
#   telvano      what a shop needs: telvano, telvano-setup, Ostrapo, their manual pages, telvano.service and
#                the nightly backup (telvano-backup.service, telvano-backup.timer).
#                It is CMake's default component ("Unspecified"): every install rule that names no
#                component lands here, so a program added later cannot fall out of the shop's package.
#   telvano-sim  the processor simulator pfr-sim and the test PKI script, for tests and demonstrations;
#                its rules say COMPONENT sim (tools/pfr-sim and the manual page below).
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

set(TELVANO_SIM_COMPONENT sim)
set(TELVANO_SIM_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/telvano-sim)

foreach(page IN ITEMS telvano.1 telvano-setup.1 Ostrapo.1 pfr-sim.1)
  telvano_gzip(${PROJECT_SOURCE_DIR}/man/${page} ${TELVANO_PACKAGE_DOCS}/${page}.gz)
endforeach()
install(FILES ${TELVANO_PACKAGE_DOCS}/telvano.1.gz ${TELVANO_PACKAGE_DOCS}/telvano-setup.1.gz
              ${TELVANO_PACKAGE_DOCS}/Ostrapo.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TELVANO_PACKAGE_DOCS}/pfr-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT ${TELVANO_SIM_COMPONENT})

# The changelog's date: SOURCE_DATE_EPOCH when it is set (reproducible builds), else now. Both packages come
# from the one source tree and carry the same changelog and copyright, each in its own document folder.
string(TIMESTAMP TELVANO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in ${TELVANO_PACKAGE_DOCS}/changelog.Debian @ONLY)
telvano_gzip(${TELVANO_PACKAGE_DOCS}/changelog.Debian ${TELVANO_PACKAGE_DOCS}/changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${TELVANO_PACKAGE_DOCS}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${TELVANO_PACKAGE_DOCS}/changelog.Debian.gz
        DESTINATION ${TELVANO_SIM_DOCDIR} COMPONENT ${TELVANO_SIM_COMPONENT})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/telvano.env.example DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/telvano.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME telvano)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/telvano-sim.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME telvano-sim
        COMPONENT ${TELVANO_SIM_COMPONENT})

# Debian 12 keeps the units of its packages in /lib/systemd/system: the program's service and the nightly
# backup's service and timer (postinst enables the timer).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/telvano.service ${PROJECT_SOURCE_DIR}/packaging/telvano-backup.service
              ${PROJECT_SOURCE_DIR}/packaging/telvano-backup.timer
        DESTINATION /lib/systemd/system)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified ${TELVANO_SIM_COMPONENT})
set(CPACK_PACKAGE_NAME telvano)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TELVANO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE telvano)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries each package's programs link come from dpkg-shlibdeps, run on that package's files only.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

# telvano. The embedded database engine is a plug-in that libfbclient loads at run time, and adduser makes
# the service's user. It knows nothing of telvano-sim.
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME telvano)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS "firebird3.0-server-core, adduser")
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_SUGGESTS "firebird3.0-server, firebird3.0-utils")
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/prerm
    ${PROJECT_SOURCE_DIR}/packaging/postrm)
string(CONCAT CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION
    "link between a point-of-sale program and a Serbian fiscal processor\n"
    "TELVANO takes the invoice and command files that a point-of-sale program (POS)\n"
    "drops into an exchange folder, stores each invoice in a Firebird database, has\n"
    "a fiscal processor of the Serbian e-fiscalisation scheme sign it (a local\n"
    "processor over HTTP or a virtual one over HTTPS with a client certificate) and\n"
    "writes the receipt, the verification URL, the QR image or an error file back\n"
    "for the POS. Receipts can be printed on ESC/POS printers.\n"
    "\n"
    "The package holds telvano, the installation tool telvano-setup, the\n"
    "receipt-print sender Ostrapo and telvano.service for shop servers that run it\n"
    "unattended, with a nightly backup timer and a status check for monitoring. The\n"
    "processor simulator is in telvano-sim.")

# telvano-sim. pfr-sim links no TELVANO library and speaks to any client over the network, so it needs
# nothing of telvano (a test machine may act as the processor of a shop PC elsewhere); the PKI script
# needs openssl.
set(CPACK_DEBIAN_SIM_PACKAGE_NAME telvano-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_RECOMMENDS openssl)
set(CPACK_DEBIAN_SIM_PACKAGE_SUGGESTS telvano)
string(CONCAT CPACK_DEBIAN_SIM_DESCRIPTION
    "fiscal processor simulator for testing TELVANO\n"
    "pfr-sim answers as a local fiscal processor of the Serbian e-fiscalisation\n"
    "scheme (LPFR, over HTTP) or as a virtual one (VPFR, over HTTPS with client\n"
    "certificates): every invoice gets a made-up signature, receipt journal and\n"
    "QR code, and with --control tests can inject faults.\n"
    "/usr/share/telvano/make-test-pki.sh makes the throwaway certificates a\n"
    "simulated VPFR and its client need.\n"
    "\n"
    "For tests and demonstrations only: its signatures are worth nothing, and a\n"
    "shop installs telvano alone.")
include(CPack)
