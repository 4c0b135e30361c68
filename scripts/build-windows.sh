#!/usr/bin/env bash
# Cross-builds Tocmate.dll for 64-bit Windows and its tests into build-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-windows -j "$(nproc)"
