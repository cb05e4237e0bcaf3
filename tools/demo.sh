#!/usr/bin/env bash
# The main job: installs what is missing, builds the native preset and plays keyhost's
# demonstration on the simulated keyboard.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target keyhost
exec build/native/tools/keyhost/keyhost --demo
