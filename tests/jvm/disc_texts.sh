#!/usr/bin/env bash
# Usage: disc_texts.sh DISC.toc JAVA-COMMAND...
# Runs the command line tool on the disc that TOCMATE_DRIVE names and checks both lines
# against the "# query" and "# lengths" comments of DISC.toc, and that it exits with 0.
set -u
toc=$1
shift
expected_numbers=$(sed -n 's/^# query //p' "$toc")
expected_lengths=$(sed -n 's/^# lengths //p' "$toc")
output=$("$@")
status=$?
expected=$(printf '%s\n%s' "$expected_numbers" "$expected_lengths")
if [ "$output" != "$expected" ] || [ "$status" -ne 0 ]; then
  printf 'expected (exit 0):\n%s\ngot (exit %d):\n%s\n' "$expected" "$status" "$output"
  exit 1
fi
echo "ok: $output"
