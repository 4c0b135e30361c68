#!/usr/bin/env bash
# Configures and builds into build/ the library, the jar and the tests; or, given a folder
# and CMake settings, that build instead.
# Usage: build.sh [FOLDER [CMAKE-ARGUMENT...] [-- BUILD-TARGET...]]
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build}
shift || true
settings=() targets=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do settings+=("$1"); shift; done
[ $# -gt 0 ] && shift && targets=(--target "$@")
cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${settings[@]}" >/dev/null
cmake --build "$folder" -j "$(nproc)" "${targets[@]}"
