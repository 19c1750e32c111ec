#!/usr/bin/env bash
# Installs the PJLink client package the server mode's tests drive, from its lock file, and
# Debian's nodejs and npm first when there is no npm. Without npm the tests that need it say so
# and skip.
set -euo pipefail
cd "$(dirname "$0")/../tests/pjlink-client"
if ! command -v npm >/dev/null; then
    # Debian packages npm apart from nodejs (a Node.js from elsewhere brings its own).
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: nodejs npm"
    { "${sudo[@]}" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
            nodejs npm; } || true
fi
if ! command -v npm >/dev/null; then
    echo "npm not found: the PJLink client tests will be skipped"
    exit 0
fi
[ -d node_modules/pjlink ] && exit 0
npm ci --no-audit --no-fund --loglevel=error || echo "npm ci failed: the PJLink client tests will be skipped"
