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
  # A wrong argument is found before anything is made.
  if [ "$exit" -eq 2 ] && [ -e "$tmp/rip" ]; then
    echo "FAILED $name: a wrong argument, yet the folder was made"; failed=1; return
  fi
  if [ "$exit" -ne 2 ] && ! python3 "$here/check_rip.py" "$disc" "$tmp/rip" "$tmp/out" \
    "${checks[@]}"; then
    echo "FAILED $name"; failed=1; return
  fi
  echo "ok: $name"
}

# Sectors 1500 to 3149 are track 2 of the Enhanced CD, whose audio session ends at 4650.
#   name                          disc              exit stderr  fake drive  --rip options  checks

# Hostile drives, secure and burst: each track exact, or its doubtful sectors listed, said on
# standard error and in the exit status. The first rows are faults the reader once had: a
# wrong sector kept with exit 0, or samples parsed from a transfer or C2 field not as sent.
# Sectors 12000 and 25000 lie in tracks 2 and 3 of three-long-tracks; 100 and 3000 in the
# audio tracks of audio-data-audio. "scratched": wrong but every third read, each wrong read
# differently.
long="FAKE_CDROM_SCRATCHED=12000 25000;FAKE_CDROM_C2_FORMS=none"
rip "a cache larger than it reports" three-long-tracks 0 "" \
  "$long;FAKE_CDROM_CACHE_SECTORS=3000;FAKE_CDROM_BUFFER_KB=1024" "--secure" "--reread 2"
rip "a cache, no buffer reported"  three-long-tracks 0 "" \
  "$long;FAKE_CDROM_CACHE_SECTORS=3000;FAKE_CDROM_MODE_SENSE=refuse" "--secure" "--reread 2"
notsecure="^track 2: the copy could not be made secure: the disc's audio is too short"
rip "a disc shorter than the cache" short-enhanced-cd 1 "$notsecure" \
  "FAKE_CDROM_SCRATCHED=1600 2500;FAKE_CDROM_C2_FORMS=none;FAKE_CDROM_CACHE_SECTORS=5000" \
  "--secure --tracks 2" "--tracks 2 --unconfirmed $(seq -s, 1500 3149)"
rip "audio runs bounded by data"   audio-data-audio 0 "" \
  "FAKE_CDROM_SCRATCHED=100 3000;FAKE_CDROM_C2_FORMS=none;FAKE_CDROM_CACHE_SECTORS=800" \
  "--secure --cache-size 2048" "--reread 2"
rip "wrong reads alike, 2 to 1"    short-enhanced-cd 1 "^track 2: sectors not confirmed: 1600 \\(" \
  "FAKE_CDROM_CONCEALED=1600" "--secure --cache-size 1024" "--unconfirmed 1600"
rip "cut short, no residue"        short-enhanced-cd 0 "" \
  "FAKE_CDROM_TRANSFER=30000;FAKE_CDROM_RESIDUE=none" "" ""
rip "cut short, with a residue"    short-enhanced-cd 0 "" "FAKE_CDROM_TRANSFER=30000" "" ""
rip "C2 bits taken, no field sent" short-enhanced-cd 0 "" \
  "FAKE_CDROM_C2_SENT=none;FAKE_CDROM_RESIDUE=none" "" ""
flagged2="^track 2: sectors the drive's C2 pointers flagged, read again: 1600 \\(0:01\\.25\\) 2500 \\(0:13\\.25\\)$"
rip "296 bytes sent for 294"       short-enhanced-cd 0 "$flagged2" \
  "FAKE_CDROM_C2_SENT=296;FAKE_CDROM_SCRATCHED=1600 2500;FAKE_CDROM_CACHE_SECTORS=256" \
  "--cache-size 1024" "--reread 2"
# Every sector flagged, right: the flags distrusted after the first batch, not a push a block.
rip "every sector flagged, secure" short-enhanced-cd 0 "flagged" \
  "FAKE_CDROM_C2_FALSE=all;FAKE_CDROM_READ_COUNTS=$tmp/counts" "--secure --cache-size 1024" \
  "--reread 1336 --counts $tmp/counts --disc-reads-at-most 3.5"
rip "every sector flagged, burst"  short-enhanced-cd 0 "flagged" \
  "FAKE_CDROM_C2_FALSE=all;FAKE_CDROM_READ_COUNTS=$tmp/counts" "--cache-size 1024" \
  "--reread 312 --counts $tmp/counts --disc-reads-at-most 1.5"
# Read wrong twice alike, then right: a flagged first read is not kept because the second
# matches, nor two flagged reads that agree. Each read alone follows a FUA drop of it.
rip "stuck, first read flagged"    short-enhanced-cd 0 "^track 2: .*flagged.*: 1600 \\(" \
  "FAKE_CDROM_STUCK=1600;FAKE_CDROM_STUCK_FLAGS=first;FAKE_CDROM_READ_LOG=$tmp/reads" \
  "--secure --cache-size 1024" "--reread 1 --read-log $tmp/reads --fua-before 1600"
rip "stuck, both reads flagged"    short-enhanced-cd 0 "^track 2: .*flagged.*: 1600 \\(" \
  "FAKE_CDROM_STUCK=1600" "--secure --cache-size 1024" "--reread 1"

rip "offset 0"                    short-enhanced-cd 0 "" "" "" ""
rip "offset +667, past lead-out"  short-enhanced-cd 0 "" \
  "FAKE_CDROM_READ_OFFSET=667" "--read-offset +667" "--offset 667"
rip "offset -1164, before start"  short-enhanced-cd 0 "" \
  "FAKE_CDROM_READ_OFFSET=-1164" "--read-offset -1164" "--offset -1164"
rip "offset +6, plain disc"       two-tracks 0 "" "FAKE_CDROM_READ_OFFSET=6" "--read-offset 6" \
  "--offset 6"
rip "offset -30, secure"          two-tracks 0 "" "FAKE_CDROM_READ_OFFSET=-30" \
  "--read-offset -30 --secure --cache-size 1024" "--offset -30"
rip "one track, offset +667"      one-track 0 "" "FAKE_CDROM_READ_OFFSET=667" "--read-offset 667" \
  "--offset 667"
rip "last track of 3 sectors"     short-last-track 0 "" "FAKE_CDROM_READ_OFFSET=6" "--read-offset 6" \
  "--offset 6"
# Samples an offset takes from a data track are silence, as at the disc's edges.
rip "Mixed Mode, offset -1164"    mixed-mode 0 "" "FAKE_CDROM_READ_OFFSET=-1164" \
  "--read-offset -1164" "--offset -1164"
rip "audio, data, audio, +667"    audio-data-audio 0 "" "FAKE_CDROM_READ_OFFSET=667" \
  "--read-offset 667 --secure --cache-size 1024" "--offset 667"
rip "drive taking 7 sectors"      two-tracks 0 "" "FAKE_CDROM_MAX_SECTORS=7" "" ""
rip "tracks 3 and 1 to 2"         short-enhanced-cd 0 "" "" "--tracks 3,1-2" ""
rip "first track 3: its skip"     from-track-3 0 "" "" "" ""
rip "audio, data, audio"          audio-data-audio 0 "" "" "" ""
rip "secure, flaky sectors"       short-enhanced-cd 0 "" "FAKE_CDROM_FLAKY=100 2500 4649" \
  "--secure --cache-size 1024" "--reread 3"
rip "burst, sectors failing twice" short-enhanced-cd 0 "" "FAKE_CDROM_FAILS_TWICE=40 1600 4000" \
  "" "--reread 3"
# Right, wrong, right, then wrong each time differently: two against one is no clear majority.
rip "secure, first and third read alike" short-enhanced-cd 1 "^track 2: sectors not confirmed: 1600 \\(" \
  "FAKE_CDROM_WAVERING=1600" "--secure --tracks 2 --cache-size 1024" "--unconfirmed 1600 --tracks 2"
# Secure: two passes over its window, then 14 reads alone; burst: its block, then 4 alone.
rip "secure, unstable sector"     short-enhanced-cd 1 "^track 2: sectors not confirmed: 1600 \\(0:01\\.25\\)$" \
  "FAKE_CDROM_UNSTABLE=1600;FAKE_CDROM_READ_LOG=$tmp/reads" "--secure --cache-size 1024" \
  "--unconfirmed 1600 --single-reads 1600:14 --read-log $tmp/reads"
rip "unreadable sectors"          short-enhanced-cd 1 "^track 2: sectors never read.*: 1700 \\(0:02\\.50\\) 2000 \\(0:06\\.50\\)$" \
  "FAKE_CDROM_UNREADABLE=1700 2000;FAKE_CDROM_READ_LOG=$tmp/reads" "" \
  "--unreadable 1700,2000 --single-reads 1700:4,2000:4 --read-log $tmp/reads"
# With +667, track 1 ends in sector 1501, where track 2 starts.
rip "unreadable, offset, secure"  short-enhanced-cd 1 \
  "^track 1: sectors never read.*: 1501 \\(0:20\\.01\\)$;^track 2: sectors never read.*: 1501 \\(0:00\\.01\\)$" \
  "FAKE_CDROM_UNREADABLE=1501;FAKE_CDROM_READ_OFFSET=667" \
  "--secure --read-offset 667 --cache-size 1024" \
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
  "--secure --cache-size 1024" "--reread 2"
flagged="^track 2: sectors the drive's C2 pointers flagged, read again: 1600 \\(0:01\\.25\\) 2500 \\(0:13\\.25\\)$"
rip "secure, cache honouring FUA"  short-enhanced-cd 0 "$flagged" "$cache;FAKE_CDROM_FUA=honour" \
  "--secure --cache-size 1024" "--reread 2"
rip "secure, C2 missing the errors" short-enhanced-cd 0 "" "$cache;FAKE_CDROM_C2=miss" \
  "--secure --cache-size 1024" "--reread 2"
rip "burst, C2 flags read again"   short-enhanced-cd 0 "$flagged" "$cache" "--cache-size 1024" \
  "--reread 2"
rip "burst, the 296-byte C2 form"  short-enhanced-cd 0 "$flagged" \
  "$cache;FAKE_CDROM_C2_FORMS=296" "--cache-size 1024" "--reread 2"
rip "burst, the 294-byte C2 form"  short-enhanced-cd 0 "$flagged" \
  "$cache;FAKE_CDROM_C2_FORMS=294" "--cache-size 1024" "--reread 2"
rip "burst, C2 flagging right reads" short-enhanced-cd 0 "^track 2: .*flagged.*: 1600 \\(" \
  "FAKE_CDROM_CACHE_SECTORS=256;FAKE_CDROM_C2_FALSE=1600" "" "--reread 1"
rip "secure, clean disc, reads a sector" three-long-tracks 0 "" \
  "FAKE_CDROM_CACHE_SECTORS=800;FAKE_CDROM_MODE_SENSE=refuse;FAKE_CDROM_READ_COUNTS=$tmp/counts" \
  "--secure" "--counts $tmp/counts --disc-reads-at-most 2.2"
# AccurateRip first: answers made from a clean burst rip's lines (make_answer.py). A track
# its answer confirms is read once; one a first read got wrong (sector 12000 of track 2 read
# as silence once) is read again securely, the first read's CRC logged as the test CRC. An
# answer of confidence 0 spares no second read and costs no first; one whose matching rip is
# another disc's (this disc's pressing wrong) spares none either.
bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$discs/three-long-tracks.toc" \
  "$java" -jar "$jar" --rip "$tmp/clean" --offline >"$tmp/clean-lines" &&
  bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$discs/three-long-tracks.toc" \
    "$java" -jar "$jar" --accuraterip >"$tmp/clean-id" || failed=1
rm -rf "$tmp/clean"
for kind in "ours 7" "zero 0" "other 7 another-disc"; do
  set -- $kind
  python3 "$here/make_answer.py" "$tmp/clean-lines" "$tmp/clean-id" \
    "$discs/three-long-tracks.toc" "$tmp/$1.ar" "${@:2}" || failed=1
done
counted="FAKE_CDROM_CACHE_SECTORS=800;FAKE_CDROM_MODE_SENSE=refuse;FAKE_CDROM_READ_COUNTS=$tmp/counts"
unmatched="^track 1: no rip in the AccurateRip answer has its checksums$"
rip "AccurateRip first, clean disc"  three-long-tracks 0 "" "$counted" \
  "--secure --offline --accuraterip-results $tmp/ours.ar" \
  "--counts $tmp/counts --disc-reads-at-most 1.1 --confirmed accuraterip:7"
rip "AccurateRip first, a wrong first read" three-long-tracks 0 "" \
  "$counted;FAKE_CDROM_FLAKY=12000" "--secure --offline --accuraterip-results $tmp/ours.ar" \
  "--counts $tmp/counts --disc-reads-at-most 1.7 --confirmed accuraterip:7 --test-crc 2"
rip "AccurateRip first, confidence 0" three-long-tracks 1 "$unmatched" "$counted" \
  "--secure --offline --accuraterip-results $tmp/zero.ar" \
  "--counts $tmp/counts --disc-reads-at-least 1.9 --disc-reads-at-most 2.2 --confirmed reads"
rip "AccurateRip first, another disc's rip" three-long-tracks 1 "$unmatched" "$counted" \
  "--secure --offline --accuraterip-results $tmp/other.ar" \
  "--counts $tmp/counts --disc-reads-at-least 1.9 --confirmed reads --test-crc 1,2,3"
rip "a cache of 0 KB"              two-tracks 2 "takes 1 to 65536 KB" "" "--secure --cache-size 0" ""
rip "a read offset of 100000"     two-tracks 2 "^tocmate: a read offset of 100000 samples is beyond" "" \
  "--read-offset 100000" ""
rip "track 9 of 3"                short-enhanced-cd 2 "^tocmate: the disc has no track 9$" "" "--tracks 9" ""
rip "disc taken out"              short-enhanced-cd 1 "sr0: no disc in the drive" \
  "FAKE_CDROM_GONE_AT=2000" "" "--gone-at 2000"
# Another disc of the same tracks but its lead-out, 3 s in (track 1 takes 6 s at 100 ms a
# command), its unit attention taken by the kernel's polling: each track's check sees it.
printf '0 disc 1 4 17700 150 1650 3300 16200d\n3 disc 1 4 17850 150 1650 3300 16200d\n' \
  >"$tmp/schedule"
rip "lead-out changed between tracks" short-enhanced-cd 1 "changed since the drive was opened" \
  "FAKE_CDROM_MEDIUM=$tmp/schedule;FAKE_CDROM_KERNEL_POLLING=on;FAKE_CDROM_LATENCY_US=100000" \
  "" "--gone-at 1500"
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

# A folder that holds a rip is refused, unchanged; with --overwrite, a re-rip that fails (disc
# gone in track 2) or is interrupted (as Ctrl-C stops it, its shutdown hooks run, in track 1 at
# 50 ms a command) leaves the earlier copy of the track it was writing as it was, and a log
# that names only the tracks it copied, saying the rip did not finish: never the earlier log.
fake_rip() {
  env "$@" bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$discs/short-enhanced-cd.toc" \
    "$java" -jar "$jar" --rip "$tmp/kept" --overwrite >/dev/null 2>&1
}
# folder_holds NAME FILES LOG-OPTIONS: the folder's files, its log checked against them.
folder_holds() {
  local held
  held=$(ls -A "$tmp/kept" | tr '\n' ' ')
  if [ "$held" = "$2" ] && python3 "$here/check_log.py" "$tmp/kept" $3; then
    echo "ok: $1"
  else
    echo "FAILED $1: the folder holds $held, wanted $2"; failed=1
  fi
}
rm -rf "$tmp/kept"
fake_rip FAKE_CDROM_MAX_SECTORS=26
cp "$tmp/kept/track02.wav" "$tmp/track02.wav"
cp "$tmp/kept/track01.wav" "$tmp/track01.wav"
cp "$tmp/kept/rip.log" "$tmp/first.log"
bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$discs/short-enhanced-cd.toc" \
  "$java" -jar "$jar" --rip "$tmp/kept" >"$tmp/out" 2>&1
if [ $? -eq 2 ] && grep -q "^tocmate: the folder $tmp/kept holds a rip" "$tmp/out" &&
  cmp -s "$tmp/kept/rip.log" "$tmp/first.log"; then
  echo "ok: a folder holding a rip refused without --overwrite"
else
  echo "FAILED: a folder holding a rip: $(cat "$tmp/out")"; failed=1
fi
fake_rip FAKE_CDROM_GONE_AT=2000
folder_holds "a re-rip failing in track 2: its log names track 1" \
  "rip.log track01.wav track02.wav track03.wav " --incomplete
grep -q "^  Rip incomplete: stopped by a failure: .*no disc" "$tmp/kept/rip.log" &&
  [ "$(grep -c '^  File: ' "$tmp/kept/rip.log")" -eq 1 ] ||
  { echo "FAILED: the failed re-rip's log:"; cat "$tmp/kept/rip.log"; failed=1; }
FAKE_CDROM_LATENCY_US=50000 bash "$here/../fakedrive/with_fake_drive.sh" "$fake" \
  "$discs/short-enhanced-cd.toc" "$java" -jar "$jar" --rip "$tmp/kept" --overwrite \
  >/dev/null 2>&1 &
sleep 1.5
kill -TERM "$(pgrep -P $!)"
wait $!
folder_holds "an interrupted re-rip: its log names no track" \
  "rip.log track01.wav track02.wav track03.wav " --incomplete
if cmp -s "$tmp/kept/track02.wav" "$tmp/track02.wav" && ! grep -q '^  File: ' "$tmp/kept/rip.log"; then
  echo "ok: earlier copies kept, nothing left of a failed and an interrupted rip"
else
  echo "FAILED: after a failed and an interrupted rip the folder holds:"; ls -la "$tmp/kept"
  cat "$tmp/kept/rip.log"; failed=1
fi

# answer NAME EXIT PATTERN OPTIONS...: the command on two-tracks read by a drive of offset
# -472, with answers built from the disc's samples at offset 0 (ours.bin: frame 450 of each
# track, and track 2's checksum) or another disc's; PATTERN matches what it prints (both
# outputs together). Refused, it writes nothing and says why on one line.
python3 -c "import sys; sys.path.insert(0, sys.argv[1]); import audio_image as a
a.write_answer(sys.argv[2] + '/ours.bin', [10, 14]); a.write_answer(sys.argv[2] + '/other.bin', [10, 13])
open(sys.argv[2] + '/cut.bin', 'wb').write(open(sys.argv[2] + '/ours.bin', 'rb').read()[:30])" \
  "$here/../cdemu" "$tmp" || failed=1
answer() {
  local name=$1 exit=$2 pattern=$3 status
  shift 3
  rm -rf "$tmp/rip"
  FAKE_CDROM_READ_OFFSET=-472 bash "$here/../fakedrive/with_fake_drive.sh" "$fake" \
    "$discs/two-tracks.toc" "$java" -jar "$jar" "$@" >"$tmp/out" 2>&1
  status=$?
  if [ "$status" -ne "$exit" ] || ! grep -Eq -- "$pattern" "$tmp/out" ||
    { [ "$exit" -eq 2 ] && { [ -e "$tmp/rip" ] || [ "$(grep -cv '^Usage: \|^ ' "$tmp/out")" -ne 1 ]; }; }; then
    echo "FAILED $name: exit $status, wanted $exit: $(cat "$tmp/out")"; failed=1
  else
    echo "ok: $name"
  fi
}
other="^tocmate: --accuraterip-results is the answer for another disc: 002-[0-9a-f]{8}-[0-9a-f]{8}-[0-9a-f]{8}, not this disc's 002-000009f6-00001af5-05001802$"
answer "find offset, found"         0 "^-472 \\(tracks 1 2, confidence 5\\)$" \
  --find-offset --accuraterip-results "$tmp/ours.bin"
answer "find offset, another disc"  2 "$other" --find-offset --accuraterip-results "$tmp/other.bin"
answer "verify, another disc"       2 "$other" --verify --accuraterip-results "$tmp/other.bin"
answer "rip, another disc"          2 "$other" --rip "$tmp/rip" --accuraterip-results "$tmp/other.bin"
answer "find offset, a cut answer"  2 "cut short" --find-offset --accuraterip-results "$tmp/cut.bin"
answer "find offset, no answer"     2 "--offline needs --accuraterip-results FILE" --find-offset
# Hostile answers: random bytes under a name that would end the line, and one far too large.
hostile=$tmp/$'a\nline\e[2J.bin'
python3 -c "import random, sys; random.seed(7); open(sys.argv[1], 'wb').write(random.randbytes(4000))" \
  "$hostile"
truncate -s 200M "$tmp/huge.bin"
answer "rip, random bytes"          2 "^tocmate: --accuraterip-results: .*a\\\\x0aline\\\\x1b\\[2J\\.bin: not an AccurateRip answer" \
  --rip "$tmp/rip" --accuraterip-results "$hostile"
answer "verify, 200 MB of answer"   2 "^tocmate: --accuraterip-results: .* holds 209715200 bytes, more than any" \
  --verify --accuraterip-results "$tmp/huge.bin"
# Track 1's entry holds no checksum of the whole track: it matches nothing.
answer "rip, track 1 matching nothing" 1 "^track 1: no rip in the AccurateRip answer has its checksums$" \
  --rip "$tmp/rip" --read-offset -472 --accuraterip-results "$tmp/ours.bin"
answer "rip, every track off by the offset" 1 "^matches at offset -472: .* 472 samples off$" \
  --rip "$tmp/rip" --accuraterip-results "$tmp/ours.bin"

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
