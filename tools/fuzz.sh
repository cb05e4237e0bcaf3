#!/usr/bin/env bash
# Builds the fuzz preset and runs each libFuzzer target for a bounded time from its committed
# corpus (tests/fuzz/corpus/<target>/). Usage: tools/fuzz.sh [seconds-per-target] [target...]
# (default 15 s each, every target). Inputs that a run adds go to build/fuzz/corpus/<target>/,
# never into the committed corpus; a failing input is written to build/fuzz/crashes/<target>/
# and the script stops with an error. docs/fuzzing.md says how to reproduce one.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-15}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(key_report directory_tree key_tree server_path)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

for target in "${targets[@]}"; do
    work="build/fuzz/corpus/$target"
    crashes="build/fuzz/crashes/$target"
    mkdir -p "$work" "$crashes"
    echo "=== $target: $seconds s"
    "build/fuzz/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
        "$work" "tests/fuzz/corpus/$target" 2>&1 | grep -v -e $'\tNEW' -e $'\tREDUCE' -e 'NEW_FUNC'
done
echo "Every fuzz target ran $seconds s without a failure."
