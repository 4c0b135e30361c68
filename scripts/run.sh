#!/usr/bin/env bash
# Prints the disc identification and the track lengths of a disc, one a line, with the
# command-line tool of the jar; or, given options, what the command line does with them.
# Builds only what that needs, in build-run/: this platform's library, the jar and the sample
# disc image (build-run/sample/sample.cue); no tests, no other platform's library.
# Usage: run.sh [DRIVE] [OPTION...]   (a drive, a table-of-contents file or a CUE sheet;
#                                      without one, TOCMATE_DRIVE or the first drive)
# A first argument that starts with "-" is an option: run.sh --help gives the usage.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-deps.sh"
"$here/build.sh" build-run -DBUILD_TESTING=OFF -DTOCMATE_CROSS_BUILDS=OFF -- tocmate sample >/dev/null
version=$("$here/version.sh" "$here/../build-run")
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then export TOCMATE_DRIVE=$1; shift; fi
exec java -jar "$here/../build-run/tocmate-$version.jar" "$@"
