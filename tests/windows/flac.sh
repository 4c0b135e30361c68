#!/usr/bin/env bash
# Usage: flac.sh WINE DLL-CHECK   (in a Wine prefix)
# FLAC written by the DLL under Wine (dll_check --flac, FlacOutput's native methods): the
# file passes Debian's flac -t, decodes to the samples given, holds their MD5 and the tags
# given, a case a line: samples of a few seconds and of less than one block. (Tags in ASCII:
# Wine hands the program its arguments in the ANSI code page.)
set -u
wine=$1 check=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
# flac_case NAME SAMPLES TAG...
flac_case() {
  local name=$1 samples=$2
  shift 2
  python3 -c "import sys, struct
n = int(sys.argv[2])
open(sys.argv[1], 'wb').write(struct.pack('<%dh' % (2 * n),
    *(((i * 7919) % 20011 - 10005) * (1 + i % 3) for i in range(2 * n))))" "$tmp/pcm" "$samples"
  "$wine" "$check" --flac "$(winepath -w "$tmp/pcm")" "$(winepath -w "$tmp/out.flac")" "$@" \
    >"$tmp/said" 2>/dev/null || { echo "FAILED $name: $(cat "$tmp/said")"; failed=1; return; }
  flac -t -s "$tmp/out.flac" || { echo "FAILED $name: flac -t"; failed=1; return; }
  flac -d -s -f --force-raw-format --endian=little --sign=signed -o "$tmp/back" "$tmp/out.flac"
  cmp -s "$tmp/back" "$tmp/pcm" || { echo "FAILED $name: other samples"; failed=1; return; }
  [ "$(metaflac --show-md5sum "$tmp/out.flac")" = "$(md5sum <"$tmp/pcm" | cut -d' ' -f1)" ] ||
    { echo "FAILED $name: STREAMINFO's MD5 is not the samples'"; failed=1; return; }
  [ "$(metaflac --export-tags-to=- "$tmp/out.flac")" = "$(printf '%s\n' "$@")" ] ||
    { echo "FAILED $name: tags $(metaflac --export-tags-to=- "$tmp/out.flac")"; failed=1; return; }
  echo "ok: $name"
}
#         name            samples  tags
flac_case "three seconds" 132300   "TITLE=Song" "TRACKNUMBER=2" "ISRC=GBAYE9200070"
flac_case "a short block" 1000     "ALBUM=x"
exit $failed
