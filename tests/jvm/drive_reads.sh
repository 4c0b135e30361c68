#!/usr/bin/env bash
# Usage: drive_reads.sh TRACKS READINGS JAVA-COMMAND...   (inside with_fake_drive.sh)
# The command reads the drive's table of contents exactly READINGS times, once for each
# native call: each time with one READ TOC command, or, where SG_IO is refused
# (FAKE_CDROM_SG_IO=refuse), with the header, every track's entry and the lead-out's.
set -u
tracks=$1 readings=$2
shift 2
export FAKE_CDROM_LOG
FAKE_CDROM_LOG=$(mktemp)
trap 'rm -f "$FAKE_CDROM_LOG"' EXIT
"$@" >/dev/null || exit 1
if [ "${FAKE_CDROM_SG_IO:-}" = refuse ]; then
  one_reading=$(echo header; for ((t = 1; t <= tracks; t++)); do echo "entry $t"; done; echo "entry 170")
else
  one_reading="command 43"
fi
expected=$one_reading
for ((reading = 2; reading <= readings; reading++)); do
  expected+=$'\n'$one_reading
done
if [ "$(cat "$FAKE_CDROM_LOG")" != "$expected" ]; then
  echo "expected $readings reading(s) of $tracks tracks, the drive saw:"
  cat "$FAKE_CDROM_LOG"
  exit 1
fi
echo "ok: $readings reading(s), $(wc -l <"$FAKE_CDROM_LOG") drive commands"
