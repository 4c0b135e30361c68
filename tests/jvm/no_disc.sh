#!/usr/bin/env bash
# Usage: no_disc.sh READINGS OPEN-ERROR-TEXT COMMAND...
# When the device can not be opened, the command prints two lines of one space and exits
# with 1, and for each of its READINGS of the drive standard error holds, in this order, the
# report of the failed open with the given error text, "Can not open device cdaudio", and
# the report of the failed close.
set -u
readings=$1 open_error=$2
shift 2
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
output=$("$@" 2>"$errors")
status=$?
one_reading="SendString command: 'open cdaudio wait' returned:
  '$open_error'
Can not open device cdaudio
SendString command: 'close cdaudio' returned:
  'The specified device is not open or is not recognized by MCI.'"
expected_errors=$one_reading
for ((reading = 2; reading <= readings; reading++)); do
  expected_errors+=$'\n'$one_reading
done
failed=0
if [ "$output" != "$(printf ' \n ')" ] || [ "$status" -ne 1 ]; then
  printf 'expected two lines of one space and exit 1, got (exit %d):\n[%s]\n' "$status" "$output"
  failed=1
fi
# Windows ends the lines of standard error with CR LF.
if [ "$(tr -d '\r' <"$errors")" != "$expected_errors" ]; then
  printf 'standard error: expected %d times:\n%s\ngot:\n%s\n' "$readings" "$one_reading" \
    "$(cat "$errors")"
  failed=1
fi
exit $failed
