#!/usr/bin/env bash
# Prints the disc identification and the track lengths of a disc, one a line, with the
# command-line tool in tocmate.jar.
# Usage: run.sh [DRIVE-OR-TABLE-OF-CONTENTS-FILE]   (without one, TOCMATE_DRIVE or the first drive)
set -euo pipefail
here=$(dirname "$0")
"$here/install-deps.sh" g++-mingw-w64-x86-64-posix
"$here/build.sh" >/dev/null
if [ $# -gt 0 ]; then export TOCMATE_DRIVE=$1; fi
exec java -jar "$here/../build/tocmate.jar"
