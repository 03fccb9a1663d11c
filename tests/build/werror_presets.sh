#!/usr/bin/env bash
# Warnings stop the CI presets' builds but not the release build that scripts/run.sh makes for
# users. Configures each preset (the core alone, nothing built) and looks for -Werror in its
# compile commands.
# Usage: werror_presets.sh CMAKE SOURCE_DIR
set -euo pipefail
cmake=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
for row in default:yes asan:yes core:yes fuzz:yes release:no; do
    preset=${row%%:*}
    expected=${row##*:}
    (cd "$source" && "$cmake" --preset "$preset" -B "$work/$preset" -DVOLTRANE_CORE_ONLY=ON \
        -DVOLTRANE_BUILD_TESTS=OFF -DVOLTRANE_BUILD_BENCHMARKS=OFF -DVOLTRANE_BUILD_FUZZERS=OFF \
        >"$work/$preset.log" 2>&1) || { cat "$work/$preset.log"; exit 1; }
    commands="$work/$preset/compile_commands.json"
    grep -q '"file"' "$commands" || { echo "$preset: no compile commands"; exit 1; }
    actual=no
    grep -q -- '-Werror' "$commands" && actual=yes
    if [ "$actual" != "$expected" ]; then
        echo "$preset: warnings as errors is '$actual', expected '$expected'"
        failed=1
    fi
done
[ "$failed" -eq 0 ] && echo "warnings are errors in every CI preset and not in release"
exit "$failed"
