#!/usr/bin/env bash
# Usage: layout.sh DLL-CHECK AUDIO-LEAD-OUT WANTED
#   (in the Wine prefix whose drive D: is the fake drive, the fake drive preloaded)
# The disc's layout read through the DLL's DiscAudio method (pass-through's READ CD of the
# Q sub-channel) must be the numbers WANTED, as DiscLayout takes them.
set -u
out=$(wine "$1" --layout D: "$2" | tr -d '\r')
[ "$out" = "$3" ] && echo "ok: $out" && exit 0
echo "FAILED: the layout is '$out', wanted '$3'"
exit 1
