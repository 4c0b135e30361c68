#!/usr/bin/env bash
# Cross-builds Tocmate.dll for 64-bit Windows and its tests into build-windows/.
# Usage: build-windows.sh [CMAKE-ARGUMENT...]
set -euo pipefail
here=$(dirname "$0")
"$here/build.sh" build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "$@"
