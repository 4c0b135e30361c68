#!/usr/bin/env bash
# Usage: disc_failures.sh FAKE-LIBRARY TOCMATE-LIBRARY TOCMATE-JAR TEST-JAR JAVA
# Each way a disc can fail to read, from its real cause, makes Disc.read throw a
# DiscReadException with its reason, the drive and the detail; nothing reaches standard
# error, not even a warning of the JVM's JNI checks.
set -u
fake=$1 library=$2 jar=$3 tests=$4 java=$5
source "$(dirname "$0")/drive_folder.sh" "$library" "$jar" "$tests"
printf '1 3 48766\n150 x 33765\n' >"$folder/bad.toc"
failed=0

# expect DRIVE REASON DRIVE-GIVEN MESSAGE-START [COMMAND-PREFIX...]
# (DiscCheck's mode is $mode: failure unless the caller sets it.)
expect() {
  local drive=$1 reason=$2 given=$3 message=$4
  shift 4
  local output status
  output=$(LD_PRELOAD=$fake "$@" "$java" -Xcheck:jni -XX:-UsePerfData \
    -Djava.library.path="$folder" -cp "$folder/$(basename "$jar"):$folder/$(basename "$tests")" \
    DiscCheck "${mode:-failure}" "$drive" "$reason" "$given" "$message" 2>"$folder/errors")
  status=$?
  if [ "$status" -ne 0 ] || [ -s "$folder/errors" ]; then
    printf '%s (exit %d):\n%s\n' "$reason from $drive" "$status" "$output"
    [ -s "$folder/errors" ] && printf 'standard error:\n%s\n' "$(cat "$folder/errors")"
    failed=1
  else
    echo "$output"
  fi
}

expect "$folder/sr9" NO_DRIVE "$folder/sr9" "$folder/sr9: No such file or directory"
expect /dev/null NO_DRIVE /dev/null "/dev/null: neither a CD drive nor a table-of-contents file"
FAKE_CDROM_STATE=no-disc expect "$device" NO_DISC "$device" "$device: no disc in the drive"
FAKE_CDROM_STATE=tray-open expect "$device" NO_DISC "$device" "$device: the drive's tray is open"
FAKE_CDROM_STATE=becoming-ready expect "$device" NOT_READY "$device" "$device: the drive is not ready yet"
# A drive that another call holds for longer than the 30-second wait (its one command
# takes 35 seconds) is not ready either.
TOCMATE_DRIVE=$device FAKE_CDROM_LATENCY_US=35000000 mode=failure-while-held \
  expect "$device" NOT_READY "$device" \
  "$device: The CD drive is busy: this call waited 30 seconds for it in vain"
FAKE_CDROM_STATE=read-error expect "$device" READ_FAILED "$device" \
  "$device: reading the table of contents: medium error (sense 3/11/00)"
expect "$folder/bad.toc" BAD_TABLE_OF_CONTENTS "$folder/bad.toc" \
  "$folder/bad.toc line 2: 'x' is not a number of frames"
# A name with a terminal's escape sequence, a letter beyond ASCII and a NUL, which no file
# name can hold, comes back escaped, in UTF-8.
expect "$folder/\\u001b[2J\\u00fc\\u0000" NO_DRIVE "$folder/\\x1b[2J\\xc3\\xbc\\x00" \
  "$folder/\\x1b[2J\\xc3\\xbc\\x00: no file name can hold a NUL character"

chmod 000 "$device"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  # Root reads any file: the check runs as an ordinary user.
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/tmp)
fi
expect "$device" NO_ACCESS "$device" "$device: Permission denied; the user needs read access" \
  "${as_user[@]}"
exit $failed
