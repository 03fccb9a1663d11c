#!/usr/bin/env bash
# Runs clang-tidy over the Qt-free core (where it pays most: every rule lives there), using the
# compile commands of the default build. Usage: scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
# The core's translation units are the ones compiled into voltrane_core.dir.
mapfile -t files < <(grep -o '"command": "[^"]*voltrane_core\.dir[^"]*' "$build/compile_commands.json" \
    | grep -o ' -c [^ ]*' | sed 's/^ -c //' | sort -u)
echo "clang-tidy on ${#files[@]} core sources"
log=$(mktemp)
status=0
printf '%s\n' "${files[@]}" | xargs -P 2 -n 4 clang-tidy -p "$build" --quiet >"$log" 2>&1 || status=$?
grep -v "warnings generated" "$log" || true
rm -f "$log"
exit "$status"
