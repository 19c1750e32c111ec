#!/usr/bin/env bash
# Builds the benchmarks if needed (Release), runs them all and prints one markdown table:
# benchmark, figure, target, met?. Each program's full output goes to <build>/bench-logs/.
#   bench/run-all.sh [--quick]
# --quick: short runs for a smoke check (flood 10 s, soak 20 s, holds of 2 s, fewer repeats).
# The build folder is $ZEVA_BENCH_BUILD, by default build-bench/ at the top of the source tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZEVA_BENCH_BUILD:-$root/build-bench}
logs=$build/bench-logs
# python3-serial: the one-shot script that the scripted command line is measured against.
"$root/scripts/deps.sh" python3-serial

quick=0
case "${1:-}" in
    --quick) quick=1 ;;
    "") ;;
    *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac
if ((quick)); then
    startup_runs=3 send_runs=10 presses=200 hold_s=2 flood_s=10 soak_s=20 pjlink_s=10
    gbench=(--benchmark_min_time=0.01)
    reconnects=4
else
    startup_runs=10 send_runs=40 presses=1000 hold_s=3 flood_s=60 soak_s=600 gbench=()
    pjlink_s=60
    reconnects=10
fi

targets=(zeva-bench-trivial-window zeva-bench-startup zeva-bench-press zeva-bench-hold
         zeva-bench-flood zeva-bench-soak zeva-bench-net zeva-bench-reconnect zeva-bench-send
         zeva-bench-history zeva-bench-pjlink)
if [[ ! -f $build/build.ninja ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
# The Google Benchmark program exists only where the library was found.
grep -q 'zeva-bench-receive' "$build/build.ninja" && targets+=(zeva-bench-receive)
cmake --build "$build" --target "${targets[@]}" >/dev/null

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
mkdir -p "$logs"
bin=$build/bench

run() { # name, command...: runs one benchmark, its output to the log
    local name=$1
    shift
    echo "running $name..." >&2
    "$@" >"$logs/$name.txt" 2>"$logs/$name.err" || echo "$name exited with status $?" >&2
}

# The soak is one short write every 50 ms: it runs beside the others rather than after them.
echo "soak started in the background (${soak_s} s)" >&2
"$bin/zeva-bench-soak" "$soak_s" >"$logs/soak.txt" 2>"$logs/soak.err" &
soak_pid=$!

run startup "$bin/zeva-bench-startup" "$startup_runs"
run send "$bin/zeva-bench-send" "$send_runs"
run press "$bin/zeva-bench-press" "$presses"
run net "$bin/zeva-bench-net" "$presses"
run reconnect "$bin/zeva-bench-reconnect" "$reconnects"
run pjlink "$bin/zeva-bench-pjlink" "$presses" "$pjlink_s"
run hold "$bin/zeva-bench-hold" "$hold_s"
if [[ -x $bin/zeva-bench-receive ]]; then
    run receive "$bin/zeva-bench-receive" "${gbench[@]}"
fi
run history "$bin/zeva-bench-history"
run flood "$bin/zeva-bench-flood" "$flood_s"
run flood-history "$bin/zeva-bench-flood" "$flood_s" --history
echo "waiting for the soak..." >&2
wait "$soak_pid" || echo "soak exited with status $?" >&2

# The hold benchmark prints its own table: one row per adjuster, "ok" within ±1 ms.
hold_row() {
    awk -F'|' '$7 ~ /ok|MISSED/ {
        d = $4 - $3; if (d < 0) d = -d
        n++; if (d > worst) worst = d; if ($7 ~ /MISSED/) missed++
    }
    END {
        met = (n > 0 && missed == 0) ? "yes" : "NO"
        printf "| hold-to-repeat: median period vs design, %d adjusters | worst deviation %.2f ms, %d missed | median within ±1 ms | %s |\n", n, worst, missed, met
    }' "$logs/hold.txt"
}

echo
echo "| benchmark | figure | target | met? |"
echo "|---|---|---|---|"
for name in startup send press net reconnect pjlink; do
    awk -F'\t' '$1 == "ROW" { printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }' "$logs/$name.txt"
done
hold_row
for name in receive history flood flood-history soak; do
    [[ -f $logs/$name.txt ]] || continue
    awk -F'\t' '$1 == "ROW" { printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }' "$logs/$name.txt"
done
echo
echo "Full output of each benchmark: $logs/"
