#!/usr/bin/env bash
# The real voltrane as a tray item on a private bus: its menu, clicked as a host clicks it, opens and
# closes the panel, switches start at login and quits. Usage: tray_e2e.sh VOLTRANE FAKE_SNI_WATCHER
source "$(dirname "$0")/e2e_common.sh"
binary=$1 watcher=$2
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile & pids+=($!)
wait_for '[ -S "$work/bus" ]'
"$watcher" >"$work/items" & pids+=($!)
gdbus wait --session --timeout 5 org.kde.StatusNotifierWatcher
"$binary" >"$work/app.log" 2>&1 & app=$! && pids+=($app)
wait_for '[ -s "$work/items" ]'
service=$(head -n1 "$work/items")
call() { gdbus call --session -d "$service" "$@"; }
menu=$(call -o /StatusNotifierItem -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu |
    grep -o "'/[^']*'" | tr -d "'") && [ -n "$menu" ] || fail "the item exports no menu"
layout() { call -o "$menu" -m com.canonical.dbusmenu.AboutToShow 0 >/dev/null && call -o "$menu" -m com.canonical.dbusmenu.GetLayout -- 0 -1 '[]'; }
# The id of the entry with label $1, and its checkmark state ("" when it has none).
entry_id() { layout | grep -oP "\(\K\d+(?=, \{[^}]*'label': <'$1'>)"; }
entry_checked() { layout | grep -oP "'label': <'$1'>[^}]*'toggle-state': <\K\d"; }
click() { call -o "$menu" -m com.canonical.dbusmenu.Event "$1" clicked '<0>' 0 >/dev/null; }

panel=$(entry_id 打开面板) && autostart=$(entry_id 登录时启动) && quit=$(entry_id '退出 Voltrane') ||
    fail "menu entries missing: $(layout)"
click "$panel" && wait_for '[ -n "$(entry_id 关闭面板)" ]'
call -o /StatusNotifierItem -m org.kde.StatusNotifierItem.Activate 0 0 >/dev/null && # a left click
    wait_for '[ -n "$(entry_id 打开面板)" ]'

entry="$XDG_CONFIG_HOME/autostart/voltrane.desktop"
[ "$(entry_checked 登录时启动)" = 0 ] || fail "start at login is on before any switch"
click "$autostart" && wait_for '[ -f "$entry" ]'
grep -qx 'Exec=voltrane' "$entry" && grep -qx 'X-GNOME-Autostart-enabled=true' "$entry" ||
    fail "the autostart entry is not the desktop entry: $(cat "$entry")"
[ "$(entry_checked 登录时启动)" = 1 ] || fail "the switch does not show the written entry"
rm "$entry" # removed by hand: the menu must say so when it next opens
[ "$(entry_checked 登录时启动)" = 0 ] || fail "the switch ignores the removed entry"
click "$autostart" && wait_for '[ -f "$entry" ]'
click "$autostart" && wait_for '[ ! -e "$entry" ]'

click "$quit" && wait_for '! kill -0 "$app" 2>/dev/null'
wait "$app" || fail "voltrane quit with status $?"
echo "tray e2e: registered as $service, menu at $menu; panel, autostart and quit behaved"
