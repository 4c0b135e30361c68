#!/usr/bin/env bash
# Usage: disc_table.sh DISC.toc COMMAND...   (in the Wine prefix with the fake drive)
# The command (dll_check --disc ...) prints the table that Disc's native method reads from
# the drive: the numbers of DISC.toc, and as data tracks those of FAKE_CDROM_DATA. Nothing
# goes to standard error.
set -u -o pipefail
toc=$1
shift
numbers=$(sed -e '/^[[:space:]]*\(catalog\|isrc\|cdtext\)/d' -e 's/#.*//' "$toc" |
  tr -s ' \n\t' ' ' | sed 's/^ //; s/ $//')
data=$(echo ${FAKE_CDROM_DATA:-})
expected=$(printf '%s\ndata tracks:%s' "$numbers" "${data:+ $data}")
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
output=$("$@" 2>"$errors" | tr -d '\r')
status=$?
if [ "$output" != "$expected" ] || [ "$status" -ne 0 ] || [ -s "$errors" ]; then
  printf 'expected (exit 0):\n%s\ngot (exit %d):\n%s\n%s\n' "$expected" "$status" "$output" \
    "$(cat "$errors")"
  exit 1
fi
echo "ok: $output"
