#!/usr/bin/env bash
# Usage: no_disc.sh JAVA-COMMAND...
# With TOCMATE_DRIVE naming a missing file, both methods give one space, the tool exits
# with 1, and standard error holds each call's reports in the order they happen.
set -u
missing=/nonexistent/tocmate/disc.toc
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
output=$(TOCMATE_DRIVE=$missing "$@" 2>"$errors")
status=$?
one_call="SendString command: 'open cdaudio wait' returned:
  'There is an undetectable problem in loading the specified device driver. ($missing: No such file or directory)'
Can not open device cdaudio
SendString command: 'close cdaudio' returned:
  'The specified device is not open or is not recognized by MCI.'"
failed=0
if [ "$output" != "$(printf ' \n ')" ]; then
  printf 'standard output: expected two lines of one space, got:\n[%s]\n' "$output"; failed=1
fi
if [ "$status" -ne 1 ]; then echo "exit status: expected 1, got $status"; failed=1; fi
if [ "$(cat "$errors")" != "$(printf '%s\n%s' "$one_call" "$one_call")" ]; then
  printf 'standard error: expected twice:\n%s\ngot:\n%s\n' "$one_call" "$(cat "$errors")"; failed=1
fi
exit $failed
