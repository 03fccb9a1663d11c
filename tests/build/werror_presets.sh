#!/usr/bin/env bash
# Warnings stop the CI presets' builds, not the release build that scripts/run.sh makes for users.
# Configures each preset (the core alone, nothing built) and looks for -Werror in its commands.
# Usage: werror_presets.sh CMAKE SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$2"
for row in default:yes asan:yes core:yes fuzz:yes release:no; do
    preset=${row%%:*}
    "$1" --preset "$preset" -B "$work/$preset" -DVOLTRANE_CORE_ONLY=ON -DVOLTRANE_BUILD_TESTS=OFF \
        -DVOLTRANE_BUILD_BENCHMARKS=OFF -DVOLTRANE_BUILD_FUZZERS=OFF >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
    grep -q '"file"' "$work/$preset/compile_commands.json"
    actual=no
    grep -q -- '-Werror' "$work/$preset/compile_commands.json" && actual=yes
    [ "$actual" = "${row##*:}" ] || { echo "$preset: warnings as errors is '$actual'"; exit 1; }
done
echo "warnings are errors in every CI preset and not in release"
