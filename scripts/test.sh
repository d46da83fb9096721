#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the whole test suite. Prints how long each part took.
set -euo pipefail
cd "$(dirname "$0")/.."
timed() {  # timed NAME COMMAND...
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "test: $name $((SECONDS - start)) s"
}
timed install-deps scripts/install-deps.sh
# The Firebird server that the server tests start and stop (the program and the other tests need none).
timed firebird-server scripts/firebird-server.sh install
timed build scripts/build.sh
# npm's packages of the browser test and the OpenAPI lint, as their lock files pin them; then the lint.
timed node-tools scripts/node-tools.sh
timed api-lint tools/api-lint/lint.sh
export TELVANO_SOURCE_DIR="$PWD"
cd "${BUILD_DIR:-build}"
timed ctest ctest --output-on-failure -j"$(nproc)" --timeout 300
