#!/usr/bin/env bash
# The benchmarks: installs what is missing, builds the bench preset (native Release on winsim)
# and runs them, printing their figures. docs/performance.md explains and publishes them.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2
echo "Machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r), $(date -u '+%Y-%m-%d %H:%M UTC')"
for program in hidkeys_bench uninstall_bench; do
    "build/bench/tests/bench/$program" --benchmark_counters_tabular=true "$@"
done
