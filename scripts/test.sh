#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
here=$(dirname "$0")
"$here/install-deps.sh"
"$here/build.sh"
cd "$here/../build"
ctest --output-on-failure -j "$(nproc)"
