# Sourced by scripts/build.sh and scripts/package.sh: the one configuration that both the test suite and the
# Debian packages are built with, so the programs the suite tests are the programs the package ships, and a
# build folder that ran the suite can make the packages without compiling anything again.
#
# Debian's own compile and link flags (stack protector, fortify, format checks, RELRO, bind-now), without the
# debug information: the package's programs are stripped anyway, and leaving it out makes the compile a fifth
# faster. A build to debug takes BUILD_TYPE=RelWithDebInfo (-O2 -g on top of the same flags).
# -ffile-prefix-map names this checkout, so run it from the checkout's root (both scripts do).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
TELVANO_CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /')"
TELVANO_LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
# shellcheck disable=SC2034  # used by the scripts that source this file
TELVANO_CMAKE_ARGS=(
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DCMAKE_INSTALL_PREFIX=/usr
  -DCMAKE_CXX_FLAGS="$TELVANO_CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$TELVANO_LDFLAGS"
)
