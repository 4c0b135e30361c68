#!/usr/bin/env bash
# Usage: drive_failures.sh FAKE-LIBRARY TOCMATE-LIBRARY TOCMATE-JAR JAVA
# Each way a drive can fail gives " " on both lines, exit status 1, and on standard error,
# once, the MCI error with the cause, then "Can not open device cdaudio". With --drive, the
# same drive gives nothing on standard output, exit status 1 and one line of standard error
# that names the drive.
set -u
fake=$1 library=$2 jar=$3 java=$4
source "$(dirname "$0")/drive_folder.sh" "$library" "$jar"
failed=0

# expect_failure NAME EXPECTED-ERROR-TEXT [COMMAND-PREFIX...]  (TOCMATE_DRIVE set by the caller)
expect_failure() {
  local name=$1 expected=$2
  shift 2
  local output status errors
  local tool=(LD_PRELOAD="$fake" "$@" "$java" -XX:-UsePerfData -Djava.library.path="$folder"
    -cp "$folder/$(basename "$jar")" cd.Tocmate)
  output=$(env "${tool[@]}" 2>"$folder/errors")
  status=$?
  errors=$(cat "$folder/errors")
  if [ "$output" != "$(printf ' \n ')" ] || [ "$status" -ne 1 ] ||
    [ "$(grep -cF -- "$expected" <<<"$errors")" -ne 1 ] ||
    [ "$(grep -cx 'Can not open device cdaudio' <<<"$errors")" -ne 1 ]; then
    printf '%s: expected " " twice, exit 1 and the error once\n  %s\ngot (exit %d):\n%s\n%s\n' \
      "$name" "$expected" "$status" "$output" "$errors"
    failed=1
  else
    echo "ok: $name: $(grep -F -- "$expected" <<<"$errors" | head -1)"
  fi
  output=$(env "${tool[@]}" --drive "$TOCMATE_DRIVE" 2>"$folder/errors")
  status=$?
  errors=$(cat "$folder/errors")
  if [ -n "$output" ] || [ "$status" -ne 1 ] || [ "$(wc -l <"$folder/errors")" -ne 1 ] ||
    ! grep -qF -- "$TOCMATE_DRIVE" <<<"$errors"; then
    printf '%s: --drive: expected exit 1 and one line naming the drive, got (exit %d):\n%s\n%s\n' \
      "$name" "$status" "$output" "$errors"
    failed=1
  else
    echo "ok: $name: --drive: $errors"
  fi
}

TOCMATE_DRIVE=$device FAKE_CDROM_STATE=no-disc \
  expect_failure "no disc" "The device driver is not ready. ($device: no disc in the drive)"
TOCMATE_DRIVE=$device FAKE_CDROM_STATE=tray-open \
  expect_failure "tray open" "The device driver is not ready. ($device: the drive's tray is open)"
TOCMATE_DRIVE=$device FAKE_CDROM_STATE=becoming-ready expect_failure "becoming ready" \
  "The device driver is not ready. ($device: the drive is not ready yet; try again in a moment)"
TOCMATE_DRIVE=$device FAKE_CDROM_STATE=read-error expect_failure "read error" \
  "contact the device manufacturer. ($device: reading the table of contents: medium error (sense 3/11/00))"
TOCMATE_DRIVE=$device FAKE_CDROM_STATE=read-error FAKE_CDROM_SG_IO=refuse \
  expect_failure "read error without SG_IO" \
  "contact the device manufacturer. ($device: reading track 1: Input/output error)"
TOCMATE_DRIVE=/dev/null expect_failure "not a CD drive" \
  "loading the specified device driver. (/dev/null: neither a CD drive nor a table-of-contents file)"
mkfifo "$folder/fifo"
TOCMATE_DRIVE=$folder/fifo expect_failure "a FIFO, refused without waiting for a writer" \
  "loading the specified device driver. ($folder/fifo: neither a CD drive nor a table-of-contents file)" \
  timeout 10
TOCMATE_DRIVE=$folder/sr9 expect_failure "missing node" \
  "loading the specified device driver. ($folder/sr9: No such file or directory)"

# Without read permission: the advice names the group of a drive's node, not root's, and
# nothing for a file.
toc=$folder/disc.toc
echo "1 3 48766 150 18000 33765" >"$toc"
chmod 000 "$device" "$toc"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  # Root reads any file: the checks run as an ordinary user.
  if ! command -v setpriv >/dev/null || ! id nobody >/dev/null 2>&1 || ! getent group cdrom >/dev/null; then
    echo "skipped: the permission cases need setpriv, the user nobody and the group cdrom"
    exit $failed
  fi
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/tmp)
  TOCMATE_DRIVE=$device expect_failure "no read permission, a node of root's group" \
    "($device: Permission denied; the user needs read access to it)" "${as_user[@]}"
  chgrp cdrom "$device" "$toc"
fi
TOCMATE_DRIVE=$device expect_failure "no read permission" \
  "($device: Permission denied; the user needs read access to it, for example as a member of its group '$(stat -c %G "$device")')" \
  "${as_user[@]}"
TOCMATE_DRIVE=$toc expect_failure "no read permission on a file" "($toc: Permission denied)" \
  "${as_user[@]}"
exit $failed
