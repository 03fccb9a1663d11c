#!/usr/bin/env bash
# Whole-process overhead of Voltrane beside two baselines, measured side by side under Xvfb:
# CPU seconds (every thread's time on a CPU from /proc/PID/task/*/schedstat, in nanoseconds: a
# closed tray app uses a few clock ticks a minute, too few to compare), average CPU %, wake-ups
# per second (context switches from /proc/PID/status), peak RSS and the X server's CPU while the
# program ran (its drawing is partly done there), then Voltrane's ratios to the baseline it is
# judged against. Build first: cmake --preset bench && cmake --build --preset bench
# Usage: bench/overhead.sh [SECONDS]   (default 60 per run)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/bench

work=$(mktemp -d)
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ n += $1 } END { printf "%d", n }'; }
switches() { awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { n += $2 } END { print n }' "/proc/$1/status"; }

measure() {
    local label=$1
    shift
    "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep 3 # start-up is not what we measure
    local t0 s0 x0 t1 s1 x1 rss
    t0=$(cpu_ns $pid)
    s0=$(switches $pid)
    x0=$(cpu_ns $xvfb)
    sleep "$seconds"
    t1=$(cpu_ns $pid)
    s1=$(switches $pid)
    x1=$(cpu_ns $xvfb)
    rss=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
    kill $pid
    wait $pid 2>/dev/null || true
    awk -v l="$label" -v t=$((t1 - t0)) -v s=$((s1 - s0)) -v d="$seconds" -v rss="$rss" -v x=$((x1 - x0)) \
        'BEGIN { printf "%-34s %8.3f s %8.3f %% %8.2f /s %8.1f MB %8.3f %%\n", l, t / 1e9, 100 * t / 1e9 / d, s / d, rss / 1024, 100 * x / 1e9 / d }'
    cpu[$label]=$((t1 - t0))
    xcpu[$label]=$((x1 - x0))
    peak[$label]=$rss
}

ratio() { # what, numerator, denominator
    awk -v w="$1" -v a="$2" -v b="$3" 'BEGIN { if (b > 0) printf "%-34s %8.2f ×\n", w, a / b; else printf "%-34s %10s\n", w, "n/a" }'
}

declare -A cpu peak xcpu

printf "%-34s %10s %10s %10s %11s %10s\n" "process ($seconds s each)" "CPU" "CPU avg" "wake-ups" "peak RSS" "X server"
measure "floor: empty 1 Hz timer" "$build/bench/baseline_timer_floor"
measure "baseline: tray icon at 1 Hz" "$build/bench/baseline_tray_timer"
measure "voltrane: panel closed" "$build/bench/voltrane_bench_app" closed
measure "baseline: 24 fps stroked paint loop" "$build/bench/baseline_paint_loop"
measure "baseline: 24 fps cached painter" "$build/bench/baseline_cached_painter"
measure "voltrane: panel open, animating" "$build/bench/voltrane_bench_app" open

echo
ratio "closed CPU / tray icon" "${cpu[voltrane: panel closed]}" "${cpu[baseline: tray icon at 1 Hz]}"
ratio "closed peak RSS / tray icon" "${peak[voltrane: panel closed]}" "${peak[baseline: tray icon at 1 Hz]}"
ratio "open CPU / cached painter" "${cpu[voltrane: panel open, animating]}" "${cpu[baseline: 24 fps cached painter]}"
ratio "the same, X server's CPU added" \
    $((${cpu[voltrane: panel open, animating]} + ${xcpu[voltrane: panel open, animating]})) \
    $((${cpu[baseline: 24 fps cached painter]} + ${xcpu[baseline: 24 fps cached painter]}))
