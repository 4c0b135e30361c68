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
  rm -rf "$tmp/rip" "$tmp/reads"
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
rip "first track 3: its skip"     from-track-3 0 "" "" "" ""
rip "audio, data, audio"          audio-data-audio 0 "" "" "" ""
rip "secure, flaky sectors"       short-enhanced-cd 0 "" "FAKE_CDROM_FLAKY=100 2500 4649" \
  "--secure" "--reread 3"
rip "burst, sectors failing twice" short-enhanced-cd 0 "" "FAKE_CDROM_FAILS_TWICE=40 1600 4000" \
  "" "--reread 3"
# Track 2 alone: track 1's last window pushes the cache out with reads of track 2's start.
rip "secure, first and third read alike" short-enhanced-cd 0 "" "FAKE_CDROM_WAVERING=1600" \
  "--secure --tracks 2" "--reread 1 --tracks 2"
# Secure: two passes over its window, then 14 reads alone; burst: its block, then 4 alone.
rip "secure, unstable sector"     short-enhanced-cd 1 "^track 2: sectors whose reads never agreed: 1600 \\(0:01\\.25\\)$" \
  "FAKE_CDROM_UNSTABLE=1600;FAKE_CDROM_READ_LOG=$tmp/reads" "--secure" \
  "--unconfirmed 1600 --single-reads 1600:14 --read-log $tmp/reads"
rip "unreadable sectors"          short-enhanced-cd 1 "^track 2: sectors never read.*: 1700 \\(0:02\\.50\\) 2000 \\(0:06\\.50\\)$" \
  "FAKE_CDROM_UNREADABLE=1700 2000;FAKE_CDROM_READ_LOG=$tmp/reads" "" \
  "--unreadable 1700,2000 --single-reads 1700:4,2000:4 --read-log $tmp/reads"
# With +667, track 1 ends in sector 1501, where track 2 starts.
rip "unreadable, offset, secure"  short-enhanced-cd 1 \
  "^track 1: sectors never read.*: 1501 \\(0:20\\.01\\)$;^track 2: sectors never read.*: 1501 \\(0:00\\.01\\)$" \
  "FAKE_CDROM_UNREADABLE=1501;FAKE_CDROM_READ_OFFSET=667" "--secure --read-offset 667" \
  "--unreadable 1501 --offset 667"
# A drive that caches 256 sectors (read-ahead 16) and reads sectors 1600 and 2500 wrong
# but every third time, each wrong read differently. First the fault of comparing two reads
# the cache answers (a cache said to be 1 KB: each second read comes from the cache): a wrong
# sector kept. Then secure mode with the cache pushed out, whatever the drive does with FUA,
# C2 or MODE SENSE; burst mode rereads what C2 flags.
cache="FAKE_CDROM_CACHE_SECTORS=256;FAKE_CDROM_SCRATCHED=1600 2500"
rip "two cached reads keep a wrong sector" short-enhanced-cd 0 "" "$cache;FAKE_CDROM_C2_FORMS=none" \
  "--secure --cache-size 1" "--wrong 1600,2500"
rip "secure, cache ignoring FUA, no C2" short-enhanced-cd 0 "" "$cache;FAKE_CDROM_C2_FORMS=none" \
  "--secure" "--reread 2"
flagged="^track 2: sectors the drive's C2 pointers flagged, read again: 1600 \\(0:01\\.25\\) 2500 \\(0:13\\.25\\)$"
rip "secure, cache honouring FUA"  short-enhanced-cd 0 "$flagged" "$cache;FAKE_CDROM_FUA=honour" \
  "--secure" "--reread 2"
rip "secure, C2 missing the errors" short-enhanced-cd 0 "" "$cache;FAKE_CDROM_C2=miss" \
  "--secure" "--reread 2"
rip "secure, no MODE SENSE nor C2" short-enhanced-cd 0 "" \
  "$cache;FAKE_CDROM_MODE_SENSE=refuse;FAKE_CDROM_C2_FORMS=none" "--secure" "--reread 2"
rip "burst, C2 flags read again"   short-enhanced-cd 0 "$flagged" "$cache" "" "--reread 2"
rip "burst, the 296-byte C2 form"  short-enhanced-cd 0 "$flagged" \
  "$cache;FAKE_CDROM_C2_FORMS=296" "" "--reread 2"
rip "burst, C2 flagging right reads" short-enhanced-cd 0 "^track 2: .*flagged.*: 1600 \\(" \
  "FAKE_CDROM_CACHE_SECTORS=256;FAKE_CDROM_C2_FALSE=1600" "" "--reread 1"
rip "secure, clean disc, reads a sector" three-long-tracks 0 "" \
  "FAKE_CDROM_CACHE_SECTORS=800;FAKE_CDROM_MODE_SENSE=refuse;FAKE_CDROM_READ_COUNTS=$tmp/counts" \
  "--secure" "--counts $tmp/counts --disc-reads-at-most 2.2"
rip "a cache of 0 KB"              two-tracks 2 "takes 1 to 65536 KB" "" "--secure --cache-size 0" ""
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
  [ "$(ls -A "$tmp/kept" | tr '\n' ' ')" = "disc.cue rip.log track01.wav track02.wav track03.wav " ]; then
  echo "ok: earlier copies kept, nothing left of a failed and an interrupted rip"
else
  echo "FAILED: after a failed and an interrupted rip the folder holds:"; ls -la "$tmp/kept"
  failed=1
fi

# find_offset NAME ANSWER EXIT PATTERN: --find-offset on two-tracks read by a drive of offset
# -472, with an answer built from the disc's samples at offset 0; PATTERN matches what it
# prints (both outputs together).
python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import audio_image as a
a.write_answer(sys.argv[2] + '/ours.bin', [10, 14]); a.write_answer(sys.argv[2] + '/other.bin', [10, 13])
open(sys.argv[2] + '/cut.bin', 'wb').write(open(sys.argv[2] + '/ours.bin', 'rb').read()[:30])" \
  "$here/../cdemu" "$tmp" || failed=1
find_offset() {
  local status
  FAKE_CDROM_READ_OFFSET=-472 bash "$here/../fakedrive/with_fake_drive.sh" "$fake" \
    "$discs/two-tracks.toc" "$java" -jar "$jar" --find-offset ${2:+--accuraterip-results "$tmp/$2"} \
    >"$tmp/out" 2>&1
  status=$?
  if [ "$status" -ne "$3" ] || ! grep -Eq -- "$4" "$tmp/out"; then
    echo "FAILED find offset, $1: exit $status, wanted $3: $(cat "$tmp/out")"; failed=1
  else
    echo "ok: find offset, $1"
  fi
}
find_offset "found"            ours.bin  0 "^-472 \\(tracks 1 2\\)$"
find_offset "another disc"     other.bin 1 "^no read offset found: .*(002-000009f6-00001af5-05001802)"
find_offset "a cut answer"     cut.bin   2 "cut short"
find_offset "no answer given"  ""        2 "needs --accuraterip-results FILE"

# A hidden track, pregaps, an index point and pre-emphasis: disc.cue in each style (the
# sheets in sheets/), the files cut where pregaps are left out, the whole disc as one file.
layout="FAKE_CDROM_LAYOUT=pregap 2 150 index 2 1800 emphasis 1 both emphasis 3 q"
rip "gaps appended, hidden track" hidden-track 0 "" "$layout" "--hidden-track" \
  "--hidden --cue $here/sheets/gaps-appended.cue"
rip "pregaps left out"            hidden-track 0 "" "$layout" "--cue-style left-out" \
  "--trim 1:150 --cue $here/sheets/gaps-left-out.cue"
rip "a drive that reads no Q"     two-tracks 0 "layout can not be read, so no CUE sheet: .*no Q" \
  "FAKE_CDROM_REFUSE=q" "" ""
rip "image, offset +6, Q late"    hidden-track 0 "" \
  "$layout;FAKE_CDROM_READ_OFFSET=6;FAKE_CDROM_Q_SKEW=3" "--image --read-offset 6" \
  "--image --hidden --offset 6 --cue $here/sheets/single-file.cue"
exit $failed
