#!/usr/bin/env bash
# Checks a built voltrane .deb: its files and control fields, lintian, and that the probe runs
# from a copy unpacked into a temporary root against a made-up power-supply tree.
# Usage: deb_check.sh PACKAGE.deb
set -euo pipefail
deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "package check: $*"; exit 1; }

[[ $(basename "$deb") == "voltrane_$(dpkg-deb -f "$deb" Version)_$(dpkg --print-architecture).deb" ]] ||
    fail "unexpected file name $(basename "$deb")"
contents=$(dpkg-deb -c "$deb")
for path in usr/bin/voltrane usr/bin/voltrane-probe usr/share/applications/voltrane.desktop \
    usr/share/icons/hicolor/256x256/apps/voltrane.png usr/share/doc/voltrane/copyright; do
    grep -q " \./$path\$" <<<"$contents" || fail "$path missing"
done
depends=$(dpkg-deb -f "$deb" Depends)
# From the linked libraries (which bring the platform plugins), and the fonts and the SQLite
# driver loaded at run time.
for package in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6sql6 fonts-noto-cjk \
    fonts-material-design-icons-iconfont libqt6sql6-sqlite; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
lintian --fail-on error "$deb"

dpkg -x "$deb" "$root"
supply="$root/fake-sysfs"
for entry in BAT0/type=Battery BAT0/status=Discharging BAT0/voltage_now=12000000 \
    BAT0/current_now=1500000 AC/type=Mains AC/online=0; do
    mkdir -p "$supply/$(dirname "${entry%%=*}")" && echo "${entry#*=}" >"$supply/${entry%%=*}"
done
reading=$(VOLTRANE_POWER_SUPPLY_ROOT="$supply" VOLTRANE_POWERCAP_ROOT="$root/none" \
    "$root/usr/bin/voltrane-probe")
grep -q '"state":"onBattery"' <<<"$reading" || fail "unexpected reading: $reading"
grep -q '"batteryWatts":-18' <<<"$reading" || fail "unexpected battery watts: $reading"
echo "package check: $(basename "$deb") is complete and its probe runs from a temporary root"
