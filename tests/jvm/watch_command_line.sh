#!/usr/bin/env bash
# Usage: watch_command_line.sh FAKE-LIBRARY TOCMATE-JAR JAVA DISCS
# The command line's --watch prints a line for each change of the fake drive until it is
# interrupted: each disc with its MusicBrainz ID and CDDB query (from the sample files' own
# comments), each removal; --eject ejects (the watch then reports a removal) and says why
# it can not; a drive that is not there fails the watch at once.
set -u
fake=$1 jar=$2 java=$3 discs=$4
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
device=$folder/sr0
: >"$device"
table_of() { sed -e '/^[[:space:]]*\(catalog\|isrc\|cdtext\)/d' -e 's/#.*//' "$discs/$1.toc" | tr -s ' \n\t' ' '; }
inserted_line() {
  local query musicbrainz
  query=$(sed -n 's/^# query //p' "$discs/$1.toc")
  musicbrainz=$(sed -n 's/^# musicbrainz //p' "$discs/$1.toc")
  printf 'inserted\t%s\t%s\tcddb query %s %s\n' "$device" "$musicbrainz" \
    "$(tr 'A-F' 'a-f' <<<"${query%% *}")" "${query#* }"
}
{ echo "0 disc $(table_of 22-tracks)"; echo "2 tray-open"; echo "3 disc $(table_of six-tracks)"; } \
  >"$folder/schedule"
export LD_PRELOAD=$fake FAKE_CDROM_DEVICE=$device FAKE_CDROM_MEDIUM=$folder/schedule
# Interrupted as a user does; its eject comes while it watches.
timeout -s INT 7 "$java" -jar "$jar" --watch --drive "$device" >"$folder/out" 2>"$folder/err" &
watching=$!
sleep 5.5
"$java" -jar "$jar" --eject --drive "$device" 2>"$folder/eject-err"
ejected=$?
wait $watching
status=$?
expected=$(inserted_line 22-tracks; printf 'removed\t%s\n' "$device"; inserted_line six-tracks
  printf 'removed\t%s\n' "$device")
failed=0
if [ "$(cat "$folder/out")" != "$expected" ]; then
  printf 'expected:\n%s\nprinted:\n%s\n%s\n' "$expected" "$(cat "$folder/out")" "$(cat "$folder/err")"
  failed=1
fi
# 124: timeout's interrupt ended it, or 130 where the JVM reports the signal itself.
if [ $status -ne 124 ] && [ $status -ne 130 ]; then echo "--watch ended with $status"; failed=1; fi
if [ $ejected -ne 0 ]; then echo "--eject failed: $(cat "$folder/eject-err")"; failed=1; fi
# A locked tray: the reason on standard error, exit status 1.
FAKE_CDROM_TRAY=locked "$java" -jar "$jar" --eject --drive "$device" 2>"$folder/eject-err"
ejected=$?
reason="$device: the tray is locked: a program prevents the disc's removal"
if [ $ejected -ne 1 ] || [ "$(cat "$folder/eject-err")" != "$reason" ]; then
  echo "a locked tray: exit $ejected, $(cat "$folder/eject-err")"
  failed=1
fi
# A drive that is not there: the reason, exit status 1, at once.
"$java" -jar "$jar" --watch --drive "$folder/sr9" 2>"$folder/watch-err" >/dev/null
watched=$?
reason="$folder/sr9: No such file or directory"
if [ $watched -ne 1 ] || [ "$(cat "$folder/watch-err")" != "$reason" ]; then
  echo "no drive: exit $watched, $(cat "$folder/watch-err")"
  failed=1
fi
[ $failed -eq 0 ] && echo "ok: --watch printed $(wc -l <"$folder/out") lines; --eject"
exit $failed
