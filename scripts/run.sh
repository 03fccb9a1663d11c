#!/usr/bin/env bash
# Installs what is needed, builds the optimised configuration and starts Voltrane.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release
cmake --build --preset release
if [ -x build/release/src/app/voltrane ]; then
    exec build/release/src/app/voltrane "$@"
fi
exec build/release/tools/probe/voltrane-probe "$@"
