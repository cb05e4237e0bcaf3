#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ googletest libgtest-dev   # native build and tests
    mingw-w64                                       # the two Windows cross builds
    wine64                                          # the 64-bit build's end-to-end tests
    libbenchmark-dev                                # the benchmarks (tools/bench.sh)
    clang libclang-rt-14-dev                        # the fuzz targets (libFuzzer)
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
