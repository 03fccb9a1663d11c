#!/usr/bin/env bash
# The real voltrane on a bare X server (no tray there, so it opens its window): the window
# appears and is not blank, a second launch hands over and exits 0, Ctrl+Q quits within 2 s, and a
# build without a usage endpoint leaves no installation ID behind.
# Usage: window_e2e.sh VOLTRANE_BINARY SCREENSHOT_PNG [USAGE_ENDPOINT]
set -euo pipefail
binary=$1 screenshot=$2 endpoint=${3:-} work=$(mktemp -d) xvfb_pid="" app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "$1"; cat "$work/app.log" 2>/dev/null; exit 1; }

# Settings, sockets and caches of this run stay in a folder of its own.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if [ -n "$endpoint" ]; then
    # A build with an endpoint would post there: the user's switch, off, keeps this run local.
    mkdir -p "$XDG_CONFIG_HOME/voltrane"
    echo '{"analyticsEnabled": {"type": "bool", "value": false}}' >"$XDG_CONFIG_HOME/voltrane/settings.json"
fi
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

"$binary" >"$work/app.log" 2>&1 &
app_pid=$!
window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Voltrane$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window titled Voltrane appeared"
sleep 1.5 # let the first frames paint

xwd -id "$window" -silent >"$work/window.xwd"
convert "xwd:$work/window.xwd" "png:$screenshot"
deviation=$(convert "$screenshot" -colorspace Gray -format '%[fx:standard_deviation]' info:)
echo "screenshot: $screenshot (grey deviation $deviation)"
awk "BEGIN { exit !($deviation < 0.02) }" && fail "the window looks blank"

timeout 5 "$binary" >"$work/second.log" 2>&1 || fail "the second launch did not exit 0: $(cat "$work/second.log")"
kill -0 "$app_pid" 2>/dev/null || fail "the first instance died when the second launched"

xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
xdotool key --clearmodifiers ctrl+q
for _ in $(seq 20); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "voltrane did not quit within 2 s of Ctrl+Q"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "voltrane exited with status $status"
if [ -z "$endpoint" ] && grep -qs analyticsInstallationID "$XDG_CONFIG_HOME/voltrane/settings.json"; then
    fail "a build without a usage endpoint made an installation ID"
fi
echo "window, hand-over and Ctrl+Q all behaved"
