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

# The flags the test suite is built with too (scripts/build-config.sh): Debian's hardening flags, no debug
# information. A folder of its own gets the programs only; a build folder that the suite was built in (CI
# passes BUILD_DIR=build) keeps its tests and is only packaged, since its programs are built already.
# shellcheck source=scripts/build-config.sh
. scripts/build-config.sh
TESTS=()
[ -e "$BUILD_DIR/CMakeCache.txt" ] || TESTS=(-DTELVANO_BUILD_TESTS=OFF)
cmake -S . -B "$BUILD_DIR" "${TELVANO_CMAKE_ARGS[@]}" "${TESTS[@]}" \
  -DTELVANO_BUILD_UI=ON -DTELVANO_SANITIZE=OFF -DTELVANO_FUZZ=OFF >&2
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
