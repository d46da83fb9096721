#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The Firebird server that the server tests start and stop (the program and the other tests need none).
scripts/firebird-server.sh install
scripts/build.sh
# npm's packages of the browser test and the OpenAPI lint, as their lock files pin them; then the lint.
scripts/node-tools.sh
tools/api-lint/lint.sh
export TELVANO_SOURCE_DIR="$PWD"
cd "${BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)" --timeout 300
