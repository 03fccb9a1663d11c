#!/usr/bin/env bash
# Installs what is needed, builds the optimised configuration and starts Voltrane.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release
cmake --build --preset release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display to show Voltrane on; one live reading from voltrane-probe instead:"
    exec build/release/tools/probe/voltrane-probe
fi
exec build/release/src/app/voltrane "$@"
