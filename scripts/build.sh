#!/usr/bin/env bash
# Configures and builds TELVANO into build/ (BUILD_DIR overrides; extra arguments go to cmake) with the
# package's flags (scripts/build-config.sh; BUILD_TYPE=RelWithDebInfo adds debug information).
# JOBS (build jobs, default all cores).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
# shellcheck source=scripts/build-config.sh
. scripts/build-config.sh
cmake -S . -B "$BUILD_DIR" "${TELVANO_CMAKE_ARGS[@]}" "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"${JOBS:-$(nproc)}"
