#!/usr/bin/env bash
# The real voltrane on a bare X server (no tray, so a window): not blank, a second launch hands over,
# Ctrl+Q quits, no endpoint means no installation ID. Usage: window_e2e.sh VOLTRANE PNG [ENDPOINT]
source "$(dirname "$0")/e2e_common.sh"
binary=$1 screenshot=$2 endpoint=${3:-} settings="$XDG_CONFIG_HOME/voltrane/settings.json"
if [ -n "$endpoint" ]; then # a build with an endpoint would post there: the user's switch, off, keeps this run local
    mkdir -p "$(dirname "$settings")"
    echo '{"analyticsEnabled": {"type": "bool", "value": false}}' >"$settings"
fi
"$binary" >"$work/app.log" 2>&1 & app=$! && pids+=($app)
wait_for 'window=$(xdotool search --onlyvisible --name "^Voltrane$" 2>/dev/null | head -n1) && [ -n "$window" ]' 100
sleep 1.5 # let the first frames paint
xwd -id "$window" -silent | convert xwd:- "png:$screenshot"
deviation=$(convert "$screenshot" -colorspace Gray -format '%[fx:standard_deviation]' info:)
echo "screenshot: $screenshot (grey deviation $deviation)"
awk "BEGIN { exit !($deviation < 0.02) }" && fail "the window looks blank"

timeout 5 "$binary" >"$work/second.log" 2>&1 || fail "the second launch did not exit 0: $(cat "$work/second.log")"
kill -0 "$app" 2>/dev/null || fail "the first instance died when the second launched"
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
xdotool key --clearmodifiers ctrl+q
wait_for '! kill -0 "$app" 2>/dev/null' 20
wait "$app" || fail "voltrane exited with status $?"
[ -n "$endpoint" ] || ! grep -qs analyticsInstallationID "$settings" ||
    fail "a build without a usage endpoint made an installation ID"
echo "window, hand-over and Ctrl+Q all behaved"
