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
