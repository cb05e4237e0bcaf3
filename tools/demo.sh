#!/usr/bin/env bash
# The main job: installs what is missing and builds every deliverable of every preset.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

for preset in native native-asan native-tsan win32 win64; do
    echo "=== $preset"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
echo "Built every preset; outputs are under build/<preset>."
