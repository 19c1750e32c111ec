#!/usr/bin/env bash
# Installs the PJLink client package the server mode's tests drive, from its lock file. Without
# npm the tests that need it say so and skip.
set -euo pipefail
cd "$(dirname "$0")/../tests/pjlink-client"
if ! command -v npm >/dev/null; then
    echo "npm not found: the PJLink client tests will be skipped"
    exit 0
fi
[ -d node_modules/pjlink ] && exit 0
npm ci --no-audit --no-fund --loglevel=error || echo "npm ci failed: the PJLink client tests will be skipped"
