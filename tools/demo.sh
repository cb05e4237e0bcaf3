#!/usr/bin/env bash
# The main job: installs what is missing and builds every preset.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build-presets.sh
echo "Built every preset; outputs are under build/<preset>."
