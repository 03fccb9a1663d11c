#!/usr/bin/env bash
# Installs the Debian packages Voltrane builds, tests and runs with. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build ccache g++ pkg-config
    qt6-base-dev libqt6sql6-sqlite libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-tidy clang-format
    fonts-material-design-icons-iconfont fonts-noto-cjk
    xvfb xauth xdotool x11-utils x11-apps imagemagick
    dpkg-dev lintian dbus-daemon libglib2.0-bin
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
