#!/usr/bin/env bash
# Configures and builds the five build presets and the benchmarks (built, not run: they are
# not tests); with --test, also runs the tests of every preset that has a test preset. Stops at
# the first failure. The fuzz preset is built and run by tools/fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=false
[ "${1:-}" = "--test" ] && run_tests=true

for preset in native native-asan native-tsan win32 win64 bench; do
    echo "=== $preset"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    if $run_tests && ctest --list-presets 2>/dev/null | grep -q "\"$preset\""; then
        ctest --preset "$preset" -j "$(nproc)"
    fi
done
