# Every dependency comes from Debian 12 packages (scripts/install-deps.sh installs them).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(CURL REQUIRED)
find_package(OpenSSL 3 REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(fmt REQUIRED)
find_package(ICU REQUIRED COMPONENTS uc i18n)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
pkg_check_modules(QRENCODE REQUIRED IMPORTED_TARGET libqrencode)
# sd_notify: readiness, status and watchdog notices to systemd.
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
find_package(GIF REQUIRED)

# Firebird: the client library (libfbclient) opens a plain path embedded, host:path through a server.
find_path(FIREBIRD_INCLUDE_DIR firebird/Interface.h REQUIRED)
find_library(FIREBIRD_LIBRARY NAMES fbclient REQUIRED)
add_library(Firebird::fbclient UNKNOWN IMPORTED)
set_target_properties(Firebird::fbclient PROPERTIES
  IMPORTED_LOCATION ${FIREBIRD_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${FIREBIRD_INCLUDE_DIR})

if(TELVANO_BUILD_UI)
  find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
endif()
if(TELVANO_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
