#!/usr/bin/env bash
# Installs the npm packages that the tests use, exactly as their lock files pin them: puppeteer-core for the
# web POS page in headless Chromium (tests/browser) and Redocly's linter for docs/api/openapi.yaml
# (tools/api-lint). Needs node and npm (scripts/install-deps.sh brings nodejs; npm comes with it or as
# Debian's npm package).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v npm >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends npm >/dev/null
fi
for folder in tests/browser tools/api-lint; do
  (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  echo "node-tools: $folder ready"
done
