#!/usr/bin/env bash
# Lints docs/api/openapi.yaml with Redocly's recommended rules, every warning an error (redocly.yaml).
# scripts/node-tools.sh installs the linter first.
set -euo pipefail
cd "$(dirname "$0")"
./node_modules/.bin/redocly lint --config redocly.yaml ../../docs/api/openapi.yaml
