#!/usr/bin/env bash
# Every test: installs what is missing, builds all five presets and runs their tests, then
# runs each fuzz target for 15 s.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build-presets.sh --test
tools/fuzz.sh 15
echo "All presets built; all tests passed."
