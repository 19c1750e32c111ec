#!/usr/bin/env bash
# End-to-end rows for the Windows build under Wine, run by scripts/test-windows.sh: the packaged
# programs against the Linux virtual projector, whose pty Wine maps as a COM port.
# Usage: e2e.sh WINE STAGED_FOLDER LINUX_SIMULATOR SETUP_EXE   (WINEPREFIX set)
set -euo pipefail
wine=$1 stage=$2 sim=$3 setup=$4
work=$(mktemp -d)
pids=()
failures=0
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -f "$WINEPREFIX"/dosdevices/com5 "$WINEPREFIX"/dosdevices/com6
    rm -rf "$work"
}
trap cleanup EXIT

pass() { echo "PASS  $1"; }
skip() { echo "SKIP  $1: $2"; }
fail() {
    echo "FAIL  $1: $2"
    failures=$((failures + 1))
}
exe() { "$wine" "$stage/zeva-control.exe" "$@"; }
# Waits up to 30 s for a file to hold a line matching a pattern.
wait_for() {
    for _ in $(seq 300); do
        grep -qE "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
# row NAME STATUS PATTERN COMMAND...: the command ends with STATUS and prints PATTERN.
row() {
    local name=$1 want=$2 pattern=$3 got=0
    shift 3
    "$@" >"$work/out" 2>&1 || got=$?
    if [ "$got" -ne "$want" ]; then
        fail "$name" "exit status $got, not $want: $(head -c 400 "$work/out")"
    elif ! grep -qE -- "$pattern" "$work/out"; then
        fail "$name" "no \"$pattern\" in: $(head -c 400 "$work/out")"
    else
        pass "$name"
    fi
}
# A virtual projector on a pty, which Wine then knows as COM<n>.
start_sim() {
    local n=$1
    shift
    "$sim" --transition-ms 300 "$@" >"$work/sim$n.out" 2>/dev/null &
    pids+=($!)
    wait_for "$work/sim$n.out" '^/dev/'
    ln -sfn "$(head -1 "$work/sim$n.out")" "$WINEPREFIX/dosdevices/com$n"
}

start_sim 5
start_sim 6 --silent
if command -v Xvfb >/dev/null; then
    Xvfb :77 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null &
    pids+=($!)
fi
row "scripted query through Wine's COM5 (--json)" 0 '"reply"' \
    exe --com1 COM5 --query status --query lamp-hours --json
row 'port named \\.\COM5' 0 . exe --com1 '\\.\COM5' --query status
row "refused command: status 1" 1 . exe --com1 COM5 --send 'ZZZ'
row "silent projector: status 3" 3 . exe --com1 COM6 --query status --timeout 300
row "missing COM port: status 4, Device Manager named" 4 'Device Manager' \
    exe --com1 COM9 --query status

# The Windows virtual projector on TCP, as its Start-menu shortcut starts it, and the program
# against it through the address it prints.
"$wine" "$stage/zeva-projector-sim.exe" --listen 127.0.0.1:0 >"$work/winsim.out" 2>&1 &
pids+=($!)
if wait_for "$work/winsim.out" '^socket://'; then
    row "Windows virtual projector on TCP (--listen)" 0 '"reply"' \
        exe --com1 "$(head -1 "$work/winsim.out" | tr -d '\r')" --query status --json
else
    fail "Windows virtual projector on TCP (--listen)" "$(head -c 400 "$work/winsim.out")"
fi

# The server mode holds COM5; a second program hands its command over through the named pipe,
# and the server's log shows it came from a script.
"$wine" "$stage/zeva-control.exe" --serve --com1 COM5 --pjlink 127.0.0.1:0 \
    --log "Z:$work/serve.log" 2>"$work/serve.err" &
serve=$!
pids+=($serve)
if wait_for "$work/serve.err" 'PJLink on port [0-9]+'; then
    row "hand-over to the running server" 0 '"reply"' exe --com1 COM5 --query lamp-hours --json
    if grep -q "script" "$work/serve.log"; then pass "server's log names the script"; else
        fail "server's log names the script" "$(tail -3 "$work/serve.log")"
    fi
    port=$(grep -oE 'PJLink on port [0-9]+' "$work/serve.err" | grep -oE '[0-9]+$')
    client=tests/pjlink-client
    if ! command -v node >/dev/null || [ ! -d "$client/node_modules/pjlink" ]; then
        skip "PJLink client against the server" "node or the npm package pjlink is missing (scripts/npm-deps.sh)"
    else
        row "PJLink client against the server" 0 'power' node "$client/client.js" "$port" - 'power?'
    fi
    # Wine turns SIGINT into the console's Ctrl+C event.
    kill -INT "$serve"
    got=0
    timeout 20 tail --pid="$serve" -f /dev/null || got=124
    [ "$got" -eq 0 ] && { wait "$serve" || got=$?; }
    if [ "$got" -eq 0 ]; then pass "Ctrl+C ends the server with status 0"; else
        fail "Ctrl+C ends the server with status 0" "status $got: $(tail -2 "$work/serve.err")"
    fi
    row "port free again after the server ended" 0 . exe --com1 COM5 --query status
else
    fail "server started" "$(head -c 400 "$work/serve.err")"
fi

# The window under Xvfb with Qt's Windows platform plugin: a POWER ON handed over to it goes out
# on the pty, and the projector is warming up afterwards. (Under Wine the window hears no reply
# on a pty: Wine's wait for serial events stops when the pty refuses the modem-status ioctl, so
# the handing-over program's own status is not checked here.)
if command -v Xvfb >/dev/null; then
    DISPLAY=:77 "$wine" "$stage/zeva-control.exe" --com1 COM5 --log "Z:$work/window.log" \
        >/dev/null 2>&1 &
    window=$!
    pids+=($window)
    for _ in $(seq 30); do # until the window takes hand-overs
        exe --com1 COM5 --query status --timeout 300 >/dev/null 2>&1 || true
        grep -q 'script' "$work/window.log" 2>/dev/null && break
        sleep 1
    done
    if grep -q 'script' "$work/window.log" 2>/dev/null; then
        exe --com1 COM5 --power on --timeout 500 >/dev/null 2>&1 || true
        if grep -qE 'TX.*43 30 30 0D.*script' "$work/window.log"; then
            pass "window sends a handed-over POWER ON"
        else
            fail "window sends a handed-over POWER ON" "$(tail -3 "$work/window.log")"
        fi
        kill "$window" && wait "$window" 2>/dev/null || true
        exe --com1 COM5 --query status >"$work/out" 2>&1 || true
        if grep -q 'Stand by' "$work/out"; then
            fail "projector warms up after the window's POWER ON" "$(cat "$work/out")"
        else
            pass "projector warms up after the window's POWER ON"
        fi
    else
        fail "window takes a hand-over" "$(tail -3 "$work/window.log" 2>&1)"
    fi
else
    skip "window under Xvfb" "Xvfb is missing"
fi

# Every control's rectangle at scale 1: the Windows build (Qt's Windows plugin on Xvfb, with the
# fonts the package ships) against the Linux build (offscreen, the system's fonts).
read -r linux_dump windows_dump <<<"${LAYOUT_DUMPS:-}"
if [ ! -x "${linux_dump:-}" ] || [ ! -f "${windows_dump:-}" ] || ! command -v Xvfb >/dev/null; then
    skip "geometry as on Linux" "a layout dump program or Xvfb is missing"
else
    mkdir "$work/dump" && ln -s "$stage"/* "$work/dump/" && cp "$windows_dump" "$work/dump/"
    QT_QPA_PLATFORM=offscreen "$linux_dump" >"$work/linux.txt" 2>/dev/null
    DISPLAY=:77 "$wine" "$work/dump/$(basename "$windows_dump")" "$stage/fonts" 2>/dev/null |
        tr -d '\r' >"$work/windows.txt"
    if [ -s "$work/linux.txt" ] && diff "$work/linux.txt" "$work/windows.txt" >"$work/diff"; then
        pass "geometry as on Linux ($(wc -l <"$work/linux.txt") rectangles)"
    else
        fail "geometry as on Linux" "$(head -20 "$work/diff")"
    fi
fi

# The setup program, silently, per user; then the installed program.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs/zeva-control # an earlier run's
"$wine" "$setup" /S
installed=$(find "$WINEPREFIX/drive_c/users" -path '*AppData/Local/Programs/zeva-control/zeva-control.exe' | head -1)
if [ -z "$installed" ]; then
    fail "setup /S installs" "no zeva-control.exe under AppData/Local/Programs"
else
    pass "setup /S installs"
    row "installed program: --version" 0 'zeva-control [0-9.]+' "$wine" "$installed" --version
    row "installed program: query through COM6's silence" 3 . \
        "$wine" "$installed" --com1 COM6 --query status --timeout 300
    links=$(find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/zeva-control/*.lnk')
    if grep -q 'Virtual projector.lnk' <<<"$links" && [ "$(wc -l <<<"$links")" -ge 4 ]; then
        pass "Start-menu entries, the virtual projector's among them"
    else
        fail "Start-menu entries, the virtual projector's among them" "$links"
    fi
    row "uninstall entry" 0 'DisplayVersion' "$wine" reg query \
        'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\zeva-control'
fi

echo "$failures end-to-end row(s) failed"
[ "$failures" -eq 0 ]
