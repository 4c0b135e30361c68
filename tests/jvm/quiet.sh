#!/usr/bin/env bash
# Usage: quiet.sh COMMAND...
# Runs the command and fails when it fails or writes anything to standard error.
set -u
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
"$@" 2>"$errors"
status=$?
if [ -s "$errors" ]; then
  printf 'standard error:\n%s\n' "$(cat "$errors")"
  [ "$status" -eq 0 ] && status=1
fi
exit $status
