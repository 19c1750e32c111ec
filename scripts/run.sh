#!/usr/bin/env bash
# Installs what is missing, builds, starts the virtual projector on a pseudo-terminal and opens
# the panel with COM1 wired to it. Extra arguments go to the panel.
set -euo pipefail
cd "$(dirname "$0")/.."
# Before anything slow: without a display there is nothing to open the window on.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "run: no display available (set DISPLAY, or install the package xvfb and use" \
        "xvfb-run scripts/run.sh)" >&2
    exit 1
fi
scripts/deps.sh
scripts/build.sh zeva-control zeva-projector-sim
build=${BUILD_DIR:-build}
coproc SIM { exec "$build/tools/zeva-projector-sim"; }
trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
read -r device <&"${SIM[0]}"
echo "virtual projector on $device (COM1)"
"$build/src/zeva-control" --com1 "$device" "$@"
