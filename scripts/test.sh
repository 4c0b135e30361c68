#!/usr/bin/env bash
# Builds everything and runs every test: the Linux build, then the Windows build under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-deps.sh" g++-mingw-w64-x86-64-posix wine wine64
"$here/build.sh"
"$here/build-windows.sh"
status=0
(cd "$here/../build" && ctest --output-on-failure -j "$(nproc)") || status=1
(cd "$here/../build-windows" && ctest --output-on-failure) || status=1
exit $status
