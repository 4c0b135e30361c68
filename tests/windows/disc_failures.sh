#!/usr/bin/env bash
# Usage: disc_failures.sh DLL-CHECK with-cdrom|without-cdrom
#   (in the Wine prefix whose drive D: is the fake drive, or in the one without a CD drive)
# Each way a drive can fail to read gives Disc's exception with its reason, the drive and
# the detail; nothing goes to standard error.
set -u -o pipefail
check=$1 prefix=$2
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
failed=0

# expect "REASON|drive|message" DRIVE   (FAKE_CDROM_* set by the caller)
expect() {
  local expected=$1 drive=$2 output status
  output=$(wine "$check" --disc "$drive" 2>"$errors" | tr -d '\r')
  status=$?
  if [ "$output" != "$expected" ] || [ "$status" -ne 1 ] || [ -s "$errors" ]; then
    printf 'expected (exit 1):\n%s\ngot (exit %d):\n%s\n%s\n' "$expected" "$status" "$output" \
      "$(cat "$errors")"
    failed=1
  else
    echo "ok: $output"
  fi
}

if [ "$prefix" = without-cdrom ]; then
  expect "NO_DRIVE||no CD drive: Windows has no drive letter of type CD-ROM" ""
  exit $failed
fi
FAKE_CDROM_STATE=no-disc expect "NO_DISC|D:|drive D: holds no disc, or its tray is open" D:
FAKE_CDROM_STATE=tray-open expect "NO_DISC|D:|drive D: holds no disc, or its tray is open" 'd:\'
# (Wine reports a drive's input/output error as no disc: no read-error case here.)
expect "NO_DRIVE|Q:|drive Q: does not exist" q:
expect "NO_DRIVE|C:|drive C: is not a CD drive" 'C:\'
expect "NO_DRIVE|/dev/sr0|'/dev/sr0' is not a drive letter; name a CD drive as D:, D or D:\\\\" /dev/sr0
expect "NO_DRIVE|D:x|'D:x' is not a drive letter; name a CD drive as D:, D or D:\\\\" D:x
exit $failed
