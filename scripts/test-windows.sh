#!/usr/bin/env bash
# Cross-builds the Windows programs and the tests that run on Windows, and checks them under
# Wine in a prefix inside the build folder:
#   - the cross-built unit and offscreen window tests, through CTest with wine64 as emulator;
#   - end to end, the packaged zeva-control.exe against the Linux virtual projector, whose pty
#     Wine maps as a COM port: the scripted road and its exit statuses, the server mode with
#     PJLink and the hand-over, the window under Xvfb, Ctrl+C;
#   - the setup program installed silently and the installed program run.
# A row whose part is missing is skipped and says what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh wine64 xvfb xauth
out=${WIN_BUILD_DIR:-build-windows}
linux=${BUILD_DIR:-build}
wine=${WINE:-/usr/lib/wine/wine64}
scripts/build-windows.sh all zeva-layout-dump
scripts/build.sh zeva-projector-sim zeva-layout-dump

sdk=$PWD/$out/qt6-mingw
stage=$(ls -d "$PWD/$out"/stage/zeva-control-*-win64)
export WINEPREFIX=$PWD/$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot -i 2>/dev/null
"$(dirname "$wine")/wineserver" -p 30 2>/dev/null || true # one server for every row, not one per program
trap '"$(dirname "$wine")/wineserver" -k 2>/dev/null || true' EXIT
# Wine's own services start with the first program and keep its output open: start them here,
# not under CTest, which would wait for that output to close.
"$wine" cmd /c exit >/dev/null 2>&1 </dev/null

echo "== Unit and offscreen window tests under Wine"
export WINEPATH="Z:$sdk/bin;Z:$sdk/runtime"
ln -sfn "$sdk/plugins/platforms" "$out/cross/tests/platforms"
if ! ctest --test-dir "$out/cross" -j2; then
    while read -r failed; do
        name=${failed#*:}
        echo "---- $name" && cat "$out/cross/tests/$name.txt" 2>/dev/null | grep -v '^PASS' || true
    done <"$out/cross/Testing/Temporary/LastTestsFailed.log"
    exit 1
fi
unset WINEPATH

echo "== End to end under Wine"
LAYOUT_DUMPS="$PWD/$linux/tools/zeva-layout-dump $PWD/$out/cross/tools/zeva-layout-dump.exe" \
    scripts/windows/e2e.sh "$wine" "$stage" "$PWD/$linux/tools/zeva-projector-sim" \
    "$(ls "$PWD/$out"/zeva-control-*-win64-setup.exe)"
