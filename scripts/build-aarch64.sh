#!/usr/bin/env bash
# Cross-builds libTocmate.so for 64-bit ARM Linux and its tests into build-aarch64/.
# Usage: build-aarch64.sh [CMAKE-ARGUMENT...]
set -euo pipefail
here=$(dirname "$0")
"$here/build.sh" build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake "$@"
