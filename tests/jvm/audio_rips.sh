#!/usr/bin/env bash
# Usage: audio_rips.sh JAVA TOCMATE-JAR AUDIO-DISCS-FOLDER FAKE-DRIVE-LIBRARY
# The command line's --rip through the JVM and the fake drive, a case a line: every WAVE
# file exactly the samples the disc holds (check_rip.py computes them from the fake drive's
# rule, not from the library), every line's checksums those of whipper's
# accuraterip-checksum and zlib, the exit status and what standard error names.
set -u
java=$1 jar=$2 discs=$3 fake=$4
here=$(dirname "$0")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

# rip NAME DISC EXIT STDERR-PATTERNS FAKE-SETTINGS RIP-OPTIONS CHECK-OPTIONS
# (patterns and settings separated by ";", options by spaces; no pattern: nothing on
# standard error)
rip() {
  local name=$1 disc=$discs/$2.toc exit=$3 pattern=$4 status
  local -a settings options=($6) checks=($7)
  IFS=';' read -ra settings <<<"$5"
  rm -rf "$tmp/rip"
  env "${settings[@]}" bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$disc" \
    "$java" -Xmx16m -jar "$jar" --rip "$tmp/rip" "${options[@]}" >"$tmp/out" 2>"$tmp/err"
  status=$?
  if [ "$status" -ne "$exit" ]; then
    echo "FAILED $name: exit $status, wanted $exit"; cat "$tmp/err"; failed=1; return
  fi
  local -a patterns
  IFS=';' read -ra patterns <<<"$pattern"
  for pattern in "${patterns[@]}"; do
    grep -Eq -- "$pattern" "$tmp/err" && continue
    echo "FAILED $name: standard error does not say '$pattern':"; cat "$tmp/err"; failed=1
    return
  done
  if [ ${#patterns[@]} -eq 0 ] && [ -s "$tmp/err" ]; then
    echo "FAILED $name: standard error says:"; cat "$tmp/err"; failed=1; return
  fi
  if [ "$exit" -ne 2 ] && ! python3 "$here/check_rip.py" "$disc" "$tmp/rip" "$tmp/out" \
    "${checks[@]}"; then
    echo "FAILED $name"; failed=1; return
  fi
  echo "ok: $name"
}

# Sectors 1500 to 3149 are track 2 of the Enhanced CD, whose audio session ends at 4650.
#   name                          disc              exit stderr  fake drive  --rip options  checks
rip "offset 0"                    short-enhanced-cd 0 "" "" "" ""
rip "offset +667, past lead-out"  short-enhanced-cd 0 "" \
  "FAKE_CDROM_READ_OFFSET=667" "--read-offset +667" "--offset 667"
rip "offset -1164, before start"  short-enhanced-cd 0 "" \
  "FAKE_CDROM_READ_OFFSET=-1164" "--read-offset -1164" "--offset -1164"
rip "offset +6, plain disc"       two-tracks 0 "" "FAKE_CDROM_READ_OFFSET=6" "--read-offset 6" \
  "--offset 6"
rip "offset -30, secure"          two-tracks 0 "" "FAKE_CDROM_READ_OFFSET=-30" \
  "--read-offset -30 --secure" "--offset -30"
rip "one track, offset +667"      one-track 0 "" "FAKE_CDROM_READ_OFFSET=667" "--read-offset 667" \
  "--offset 667"
rip "last track of 3 sectors"     short-last-track 0 "" "FAKE_CDROM_READ_OFFSET=6" "--read-offset 6" \
  "--offset 6"
# Samples an offset takes from a data track are silence, as at the disc's edges.
rip "Mixed Mode, offset -1164"    mixed-mode 0 "" "FAKE_CDROM_READ_OFFSET=-1164" \
  "--read-offset -1164" "--offset -1164"
rip "audio, data, audio, +667"    audio-data-audio 0 "" "FAKE_CDROM_READ_OFFSET=667" \
  "--read-offset 667 --secure" "--offset 667"
rip "drive taking 7 sectors"      two-tracks 0 "" "FAKE_CDROM_MAX_SECTORS=7" "" ""
rip "tracks 3 and 1 to 2"         short-enhanced-cd 0 "" "" "--tracks 3,1-2" ""
rip "secure, flaky sectors"       short-enhanced-cd 0 "" "FAKE_CDROM_FLAKY=0 1700 4649" \
  "--secure" "--reread 3"
rip "burst, sectors failing twice" short-enhanced-cd 0 "" "FAKE_CDROM_FAILS_TWICE=40 1600 4000" \
  "" "--reread 3"
rip "secure, unstable sector"     short-enhanced-cd 1 "^track 2: sectors whose reads never agreed: 1600$" \
  "FAKE_CDROM_UNSTABLE=1600" "--secure" "--unconfirmed 1600"
rip "unreadable sectors"          short-enhanced-cd 1 "^track 2: sectors never read.*: 1700 2000$" \
  "FAKE_CDROM_UNREADABLE=1700 2000" "" "--unreadable 1700,2000"
# With +667, track 1 ends in sector 1501, where track 2 starts.
rip "unreadable, offset, secure"  short-enhanced-cd 1 \
  "^track 1: sectors never read.*: 1501$;^track 2: sectors never read.*: 1501$" \
  "FAKE_CDROM_UNREADABLE=1501;FAKE_CDROM_READ_OFFSET=667" "--secure --read-offset 667" \
  "--unreadable 1501 --offset 667"
rip "disc taken out"              short-enhanced-cd 1 "sr0: no disc in the drive" \
  "FAKE_CDROM_GONE_AT=2000" "" "--gone-at 2000"
rip "a data track"                short-enhanced-cd 2 "track 4 is a data track" "" "--tracks 4" ""
rip "no such track"               two-tracks 2 "the disc has no track 3" "" "--tracks 1-3" ""
rip "a track named twice"         two-tracks 0 "" "" "--tracks 1,1" "--tracks 1"
rip "a range backwards"           two-tracks 2 "^tocmate: --tracks: 2-1 ends before it starts$" "" \
  "--tracks 2-1" ""
rip "another command's option"    two-tracks 2 "^tocmate: unknown argument '--json' with --rip$" "" \
  "--json" ""
rip "a second folder"             two-tracks 2 "^tocmate: --rip is given twice$" "" \
  "--rip $tmp/other" ""
rip "no results file"             two-tracks 2 \
  "^tocmate: --accuraterip-results: /nonexistent/dBAR.bin does not exist$" "" \
  "--accuraterip-results /nonexistent/dBAR.bin" ""
rip "a folder as results file"    two-tracks 2 "^tocmate: --accuraterip-results: $tmp is no file$" "" \
  "--accuraterip-results $tmp" ""

# A re-rip that fails, or that is interrupted, leaves the earlier copy of the track it was
# writing as it was, and no file of its own. (Disc gone in track 2; stopped as Ctrl-C stops
# it, its shutdown hooks run, in track 1 at 50 ms a command.)
fake_rip() {
  env "$@" bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$discs/short-enhanced-cd.toc" \
    "$java" -jar "$jar" --rip "$tmp/kept" >/dev/null 2>&1
}
rm -rf "$tmp/kept"
fake_rip FAKE_CDROM_MAX_SECTORS=26
cp "$tmp/kept/track02.wav" "$tmp/track02.wav"
cp "$tmp/kept/track01.wav" "$tmp/track01.wav"
fake_rip FAKE_CDROM_GONE_AT=2000
FAKE_CDROM_LATENCY_US=50000 bash "$here/../fakedrive/with_fake_drive.sh" "$fake" \
  "$discs/short-enhanced-cd.toc" "$java" -jar "$jar" --rip "$tmp/kept" >/dev/null 2>&1 &
sleep 1.5
kill -TERM "$(pgrep -P $!)"
wait $!
if cmp -s "$tmp/kept/track02.wav" "$tmp/track02.wav" && cmp -s "$tmp/kept/track01.wav" "$tmp/track01.wav" &&
  [ "$(ls -A "$tmp/kept" | tr '\n' ' ')" = "track01.wav track02.wav track03.wav " ]; then
  echo "ok: earlier copies kept, nothing left of a failed and an interrupted rip"
else
  echo "FAILED: after a failed and an interrupted rip the folder holds:"; ls -la "$tmp/kept"
  failed=1
fi
exit $failed
