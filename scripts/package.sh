#!/usr/bin/env bash
# Builds the Debian packages: a Release build of the programs only (no tests) in build-package/ (BUILD_DIR
# overrides), with Debian's hardening flags, then `cpack -G DEB`, which makes telvano_*.deb (what a shop
# installs) and telvano-sim_*.deb (the processor simulator and the test PKI). Prints their paths on its
# last two lines, telvano's first.
#   JOBS=N       parallel compile jobs (default: the number of cores)
#   LINTIAN=1    also run lintian on both packages (installs it when missing) and fail on errors or warnings
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build-package}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac

scripts/install-deps.sh >&2

# Debian's own compile and link flags (stack protector, fortify, format checks, RELRO, bind-now), without
# the debug information: the package's programs are stripped anyway.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /')"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTELVANO_BUILD_TESTS=OFF -DTELVANO_BUILD_UI=ON -DTELVANO_SANITIZE=OFF -DTELVANO_FUZZ=OFF \
  -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >&2
cmake --build "$BUILD_DIR" -j"${JOBS:-$(nproc)}" >&2

rm -f "$BUILD_DIR"/telvano_*.deb "$BUILD_DIR"/telvano-sim_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >&2)
DEBS=()
for package in telvano telvano-sim; do
  deb=$(ls "$BUILD_DIR/${package}"_*.deb 2>/dev/null) ||
    { echo "package: cpack made no $package package" >&2; exit 1; }
  DEBS+=("$deb")
done

if [ "${LINTIAN:-0}" = 1 ]; then
  if ! command -v lintian >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq lintian >/dev/null 2>&1 || { apt-get update -qq && apt-get install -y -qq lintian >/dev/null; }
  fi
  # --fail-on: errors and warnings fail the build; the package's documented overrides are honoured.
  lintian --fail-on error,warning "${DEBS[@]}" >&2
fi
printf '%s\n' "${DEBS[@]}"
