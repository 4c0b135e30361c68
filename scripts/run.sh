#!/usr/bin/env bash
# Prints the disc identification and the track lengths of a disc, one a line.
# Usage: run.sh [TABLE-OF-CONTENTS-FILE]   (without one, the disc that TOCMATE_DRIVE names)
set -euo pipefail
here=$(dirname "$0")
"$here/install-deps.sh"
"$here/build.sh" >/dev/null
root=$(cd "$here/.." && pwd)
if [ $# -gt 0 ]; then export TOCMATE_DRIVE=$1; fi
exec java -Djava.library.path="$root/build" -cp "$root/build/tocmate.jar" cd.Tocmate
