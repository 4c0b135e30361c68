#!/usr/bin/env bash
# Usage: drive_reads.sh TRACKS JAVA-COMMAND...   (inside with_fake_drive.sh)
# The tool makes two native calls; each reads the drive's table of contents exactly once:
# with one READ TOC command, or, where SG_IO is refused (FAKE_CDROM_SG_IO=refuse), with the
# header, every track's entry and the lead-out's.
set -u
tracks=$1
shift
export FAKE_CDROM_LOG
FAKE_CDROM_LOG=$(mktemp)
trap 'rm -f "$FAKE_CDROM_LOG"' EXIT
"$@" >/dev/null || exit 1
if [ "${FAKE_CDROM_SG_IO:-}" = refuse ]; then
  one_read=$(echo header; for ((t = 1; t <= tracks; t++)); do echo "entry $t"; done; echo "entry 170")
else
  one_read="command 43"
fi
expected=$(printf '%s\n%s' "$one_read" "$one_read")
if [ "$(cat "$FAKE_CDROM_LOG")" != "$expected" ]; then
  echo "expected two reads of $tracks tracks, the drive saw:"
  cat "$FAKE_CDROM_LOG"
  exit 1
fi
echo "ok: two calls, $(wc -l <"$FAKE_CDROM_LOG") drive commands"
