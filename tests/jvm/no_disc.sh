#!/usr/bin/env bash
# Usage: no_disc.sh OPEN-ERROR-TEXT COMMAND...
# When the device can not be opened, both methods give one space, the tool exits with 1,
# and for each call standard error holds, in this order, the report of the failed open with
# the given error text, "Can not open device cdaudio", and the report of the failed close.
set -u
open_error=$1
shift
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
output=$("$@" 2>"$errors")
status=$?
one_call="SendString command: 'open cdaudio wait' returned:
  '$open_error'
Can not open device cdaudio
SendString command: 'close cdaudio' returned:
  'The specified device is not open or is not recognized by MCI.'"
failed=0
if [ "$output" != "$(printf ' \n ')" ] || [ "$status" -ne 1 ]; then
  printf 'expected two lines of one space and exit 1, got (exit %d):\n[%s]\n' "$status" "$output"
  failed=1
fi
# Windows ends the lines of standard error with CR LF.
if [ "$(tr -d '\r' <"$errors")" != "$(printf '%s\n%s' "$one_call" "$one_call")" ]; then
  printf 'standard error: expected twice:\n%s\ngot:\n%s\n' "$one_call" "$(cat "$errors")"
  failed=1
fi
exit $failed
