#!/usr/bin/env bash
# Usage: sheets.sh DLL-CHECK   (in the Wine prefix)
# CUE sheets read through the DLL's Disc method: a Mixed Mode rip's sheet, its data track
# described by its length and its lines ended by CR LF, gives the disc's table; a sheet with
# INDEX 00 after INDEX 01, and one whose file is 1000 bytes short, give one line of why
# (the reason, the sheet, the line and the bytes missing) and exit 1.
set -u -o pipefail
dll_check=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
truncate -s $((1500 * 2352)) "$folder/track02.bin"
truncate -s $((1650 * 2352)) "$folder/track03.bin"
printf '%s\r\n' 'REM DATA TRACK 01 LENGTH 00:20:00' 'FILE "track02.bin" BINARY' \
  '  TRACK 02 AUDIO' '    INDEX 01 00:00:00' 'FILE "track03.bin" BINARY' '  TRACK 03 AUDIO' \
  '    INDEX 01 00:00:00' >"$folder/mixed.cue"
printf '%s\n' 'FILE "track02.bin" BINARY' 'TRACK 01 AUDIO' 'INDEX 01 00:00:00' \
  'INDEX 00 00:00:10' >"$folder/index.cue"
truncate -s $((1500 * 2352 - 1000)) "$folder/short.bin"
printf '%s\n' 'FILE "short.bin" BINARY' 'TRACK 01 AUDIO' 'INDEX 01 00:00:00' >"$folder/short.cue"
failed=0
# sheet WANTED-STATUS WANTED-OUTPUT
sheet() {
  local output status
  output=$(wine "$dll_check" --disc "Z:$folder/$1" 2>&1 | tr -d '\r')
  status=$?
  if [ "$status" -eq "$2" ] && [[ "$output" == $3 ]] && [ "$(printf '%s\n' "$output" | wc -l)" -le 2 ]
  then
    echo "ok: $1: $output"
  else
    echo "FAILED: $1: exit $status: $output"
    failed=1
  fi
}
sheet mixed.cue 0 $'1 3 4800 150 1650 3150\ndata tracks: 1'
sheet index.cue 1 "BAD_TABLE_OF_CONTENTS|*index.cue|*index.cue line 4: INDEX 0 out of order*"
sheet short.cue 1 "BAD_TABLE_OF_CONTENTS|*short.cue|*'short.bin': cut short: 1000 bytes missing*"
exit $failed
