# Sourced by the end-to-end scripts: a private home, runtime folder and X server for one run.
set -euo pipefail
work=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "$(basename "$0"): $*"; cat "$work/app.log" 2>/dev/null; exit 1; }
wait_for() { for _ in $(seq "${2:-50}"); do eval "$1" && return 0; sleep 0.1; done; fail "timed out: $1"; }
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" -m 700 "$XDG_RUNTIME_DIR" && unset QT_QPA_PLATFORM WAYLAND_DISPLAY
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null & pids+=($!)
wait_for '[ -s "$work/display" ]'
export DISPLAY=":$(head -n1 "$work/display")"
