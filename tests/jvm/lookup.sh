#!/usr/bin/env bash
# Usage: lookup.sh CASE JAVA TOCMATE-JAR TESTS-JAR AUDIO-DISCS-FOLDER FAKE-DRIVE-LIBRARY VERSION ADDRESS
# The services asked, against a stand-in for MusicBrainz, gnudb and AccurateRip on the
# loopback address (services/standin.py), with the Enhanced CD short-enhanced-cd:
#   lookups   --lookup exactly as expected: MusicBrainz's two releases (a two-disc one whose
#             second medium holds the disc; credited names, a track titled otherwise than its
#             recording, '&' and accents), gnudb's entry where MusicBrainz knows none (a
#             title over two lines, the data track's left out); neither: exit 1
#   fetched   --verify and --rip with the answer fetched print what they print with the same
#             answer as a file; --rip's sheet gains the names (and nothing else) and its log
#             says where they came from; a disc the database does not know is said so
#   offline   --offline and TOCMATE_OFFLINE=1: no request at all, --lookup refused
#   manners   the User-Agent and gnudb's hello as sent; a 503 with Retry-After: 1 waited out
#             (the requests' times); MusicBrainz asked once a second from three threads
#   hostile   a server that never answers, one that sends a byte every 5 s, 50 MB with and without Content-Length, an HTML
#             page, a redirect to file:///etc/passwd, XML with an external entity, XML cut
#             short, a CDDB answer without status: each one line, exit 1, within 30 s, in
#             64 MB of heap, nothing of /etc/passwd shown
set -u
case_name=$1 java=$2 jar=$3 tests_jar=$4 discs=$5 fake=$6 version=$7 address=$8
here=$(cd "$(dirname "$0")" && pwd)
disc=$discs/short-enhanced-cd.toc
tmp=$(mktemp -d)
python3 "$here/services/standin.py" "$tmp" "$tmp/answer.bin" &
standin=$!
trap 'kill $standin; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do [ -e "$tmp/port" ] && break; sleep 0.1; done
port=$(cat "$tmp/port")
unset TOCMATE_OFFLINE
failed=0
fail() {
  echo "FAILED $case_name: $*"
  failed=1
}

# tocmate [--in-drive] SCENARIO ARGUMENT...: the command line with the three services at the
# stand-in, the disc in the fake drive with --in-drive.
tocmate() {
  local -a drive=()
  [ "$1" = --in-drive ] && drive=(bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$disc") &&
    shift
  local base=http://127.0.0.1:$port/$1
  shift
  "${drive[@]}" "$java" -Xmx64m -Dtocmate.musicbrainz.url="$base/ws/2" \
    -Dtocmate.gnudb.url="$base/cddb.cgi" -Dtocmate.accuraterip.url="$base/accuraterip" \
    -jar "$jar" "$@"
}
in_drive() { bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$disc" "$@"; }
requests() { if [ -e "$tmp/requests" ]; then wc -l <"$tmp/requests"; else echo 0; fi; }

# The disc's answer: its IDs, and each track with confidence 5 and the checksum the drive's
# rip has (v1 for tracks 1 and 3, v2 for track 2).
make_answer() {
  in_drive "$java" -jar "$jar" --rip "$tmp/offline" --offline >"$tmp/offline.lines" ||
    fail "an offline rip"
  python3 - "$(tocmate known --accuraterip --drive "$disc" | head -1)" "$tmp/offline.lines" \
    "$tmp/answer.bin" <<'PY'
import struct, sys
_, id1, id2, cddb = sys.argv[1].split("-")
lines = [line.split() for line in open(sys.argv[2])]
answer = struct.pack("<BIII", len(lines), int(id1, 16), int(id2, 16), int(cddb, 16))
for i, words in enumerate(lines):
    answer += struct.pack("<BII", 5, int(words[4 if i % 2 else 2], 16), 0)
open(sys.argv[3], "wb").write(answer)
PY
}

case $case_name in
  lookups)
    for scenario in known:musicbrainz gnudb:gnudb; do
      tocmate "${scenario%:*}" --lookup --drive "$disc" >"$tmp/out" 2>"$tmp/err"
      status=$?
      diff "$here/services/lookup-${scenario#*:}.txt" "$tmp/out" >"$tmp/diff" && [ $status -eq 0 ] &&
        [ ! -s "$tmp/err" ] || { fail "${scenario%:*}: exit $status"; cat "$tmp/diff" "$tmp/err"; }
    done
    tocmate unknown --lookup --drive "$disc" >"$tmp/out" 2>"$tmp/err"
    status=$?
    [ $status -eq 1 ] && [ ! -s "$tmp/out" ] &&
      [ "$(cat "$tmp/err")" = "neither MusicBrainz nor gnudb knows the disc" ] ||
      fail "unknown: exit $status, [$(cat "$tmp/out")] [$(cat "$tmp/err")]"
    ;;
  fetched)
    make_answer
    in_drive "$java" -jar "$jar" --verify --accuraterip-results "$tmp/answer.bin" --offline \
      >"$tmp/from-file" 2>&1
    tocmate --in-drive known --verify >"$tmp/fetched" 2>&1
    status=$?
    [ $status -eq 0 ] && cmp -s "$tmp/from-file" "$tmp/fetched" &&
      [ "$(grep -c ' confidence 5$' "$tmp/fetched")" -eq 3 ] ||
      { fail "--verify fetched: exit $status"; diff "$tmp/from-file" "$tmp/fetched"; }
    in_drive "$java" -jar "$jar" --rip "$tmp/rip-from-file" --accuraterip-results \
      "$tmp/answer.bin" --offline >"$tmp/from-file.lines" 2>&1
    tocmate --in-drive known --rip "$tmp/rip" >"$tmp/fetched.lines" 2>&1
    status=$?
    [ $status -eq 0 ] && cmp -s "$tmp/from-file.lines" "$tmp/fetched.lines" ||
      { fail "--rip fetched: exit $status"; diff "$tmp/from-file.lines" "$tmp/fetched.lines"; }
    grep -E '^ *(TITLE|PERFORMER) ' "$tmp/rip/disc.cue" | tr -d '\r' >"$tmp/names"
    diff "$here/services/sheet-names.txt" "$tmp/names" || fail "the sheet's names"
    # The names, and nothing else, are what the lookup adds to the sheet.
    grep -vE '^ *(TITLE|PERFORMER) ' "$tmp/rip/disc.cue" | cmp -s - "$tmp/offline/disc.cue" ||
      fail "the sheet differs beyond its names"
    [ "$(ls "$tmp/rip")" = "$(printf '%s\n' disc.cue rip.log track01.wav track02.wav track03.wav)" ] ||
      fail "files: $(ls "$tmp/rip")"
    grep -Fxq "Names: MusicBrainz release 5f0c4b4e-8a7d-4a1e-9d3c-2b1e6f7a8c90, medium 2 of 2 (the first of 2 releases)" \
      "$tmp/rip/rip.log" || fail "the log: $(grep Names "$tmp/rip/rip.log")"
    tocmate --in-drive gnudb --rip "$tmp/gnudb" >/dev/null 2>&1
    # shellcheck disable=SC1112 # the title's own apostrophe
    gnudb_title='TITLE "Chansons d’hiver"'
    grep -Fxq "Names: gnudb entry misc/1700ea04" "$tmp/gnudb/rip.log" &&
      grep -Fxq "$gnudb_title" <(tr -d '\r' <"$tmp/gnudb/disc.cue") ||
      fail "gnudb's names: $(grep Names "$tmp/gnudb/rip.log")"
    # A disc with CD-Text keeps its own names: no lookup is sent (its AccurateRip answer, which
    # the database does not have, is asked for).
    rm "$tmp/requests"
    bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$discs/hidden-track.toc" \
      "$java" -Dtocmate.musicbrainz.url="http://127.0.0.1:$port/known/ws/2" \
      -Dtocmate.gnudb.url="http://127.0.0.1:$port/known/cddb.cgi" \
      -Dtocmate.accuraterip.url="http://127.0.0.1:$port/unknown/accuraterip" -jar "$jar" \
      --rip "$tmp/cdtext" >/dev/null 2>&1
    [ "$(grep -c 'ws/2\|cddb.cgi' "$tmp/requests")" -eq 0 ] &&
      grep -Fxq "Names: the disc's CD-Text" "$tmp/cdtext/rip.log" &&
      grep -q '^    TITLE "Song"' "$tmp/cdtext/disc.cue" ||
      fail "a disc with CD-Text: $(grep Names "$tmp/cdtext/rip.log"), $(requests) requests"
    # A disc the database does not know: --verify says so and fails; --rip goes on unchecked.
    tocmate --in-drive unknown --verify >"$tmp/out" 2>"$tmp/err"
    status=$?
    [ $status -eq 1 ] && [ ! -s "$tmp/out" ] && [ "$(cat "$tmp/err")" = \
      "the AccurateRip database does not know the disc (003-000056b8-000142db-1700ea04)" ] ||
      fail "--verify, unknown: exit $status, [$(cat "$tmp/out")] [$(cat "$tmp/err")]"
    tocmate --in-drive unknown --rip "$tmp/unknown" >"$tmp/out" 2>"$tmp/err"
    status=$?
    [ $status -eq 0 ] && [ "$(cat "$tmp/err")" = "tocmate: the AccurateRip database does not know the disc (003-000056b8-000142db-1700ea04): the rip is not checked" ] &&
      grep -Fxq "Names: none: neither MusicBrainz nor gnudb knows the disc" "$tmp/unknown/rip.log" ||
      fail "--rip, unknown: exit $status, [$(cat "$tmp/err")]"
    ;;
  offline)
    tocmate --in-drive known --rip "$tmp/rip" --offline >/dev/null 2>"$tmp/err" &&
      in_drive env TOCMATE_OFFLINE=1 "$java" -Dtocmate.musicbrainz.url="http://127.0.0.1:$port/known/ws/2" \
        -Dtocmate.accuraterip.url="http://127.0.0.1:$port/known/accuraterip" -jar "$jar" \
        --rip "$tmp/rip2" >/dev/null 2>>"$tmp/err" || fail "offline rips: $(cat "$tmp/err")"
    [ "$(requests)" -eq 0 ] || fail "requests sent offline: $(cat "$tmp/requests")"
    grep -Fxq "Names: none: offline, the disc not looked up" "$tmp/rip/rip.log" &&
      grep -q "AccurateRip not checked" "$tmp/rip/rip.log" || fail "the offline rip's log"
    for arguments in "--lookup --offline --drive $disc" "--verify --offline --drive $disc"; do
      # shellcheck disable=SC2086 # the arguments, one a word
      env TOCMATE_OFFLINE= "$java" -jar "$jar" $arguments >/dev/null 2>&1
      status=$?
      [ $status -eq 2 ] || fail "$arguments: exit $status"
    done
    ;;
  manners)
    tocmate gnudb --lookup --drive "$disc" >/dev/null || fail "gnudb lookup"
    agents=$(cut -f3 "$tmp/requests" | sort -u)
    [ "$agents" = "Tocmate/$version ( $address )" ] || fail "User-Agent: [$agents]"
    [ "$(grep -c "/cddb.cgi?cmd=cddb+[a-z]*+.*&hello=anonymous+localhost+Tocmate+$version&proto=6	" \
      "$tmp/requests")" -eq 2 ] || fail "hello: $(cut -f2 "$tmp/requests")"
    rm "$tmp/requests"
    tocmate busy --lookup --drive "$disc" >"$tmp/out" 2>"$tmp/err"
    status=$?
    cmp -s "$tmp/out" "$here/services/lookup-musicbrainz.txt" && [ $status -eq 0 ] ||
      fail "503 waited out: exit $status [$(cat "$tmp/err")]"
    echo "the 503 and the request after it:"
    cut -f1,2 "$tmp/requests"
    awk 'NR == 1 {first = $1} NR == 2 {exit !($1 - first >= 1.0 && $1 - first < 2.5)} END {exit NR != 2}' \
      "$tmp/requests" || fail "the 503's wait"
    rm "$tmp/requests"
    "$java" -Dtocmate.musicbrainz.url="http://127.0.0.1:$port/known/ws/2" -cp "$jar:$tests_jar" \
      LookupPace "$disc" 3 || fail "LookupPace"
    echo "three threads' requests:"
    cut -f1,2 "$tmp/requests"
    sort -n "$tmp/requests" | awk 'NR > 1 && $1 - last < 0.99 {bad = 1} {last = $1}
      END {exit bad || NR != 3}' || fail "MusicBrainz asked more than once a second"
    ;;
  hostile)
    # NAME|SCENARIO|OPTION|THE LINE ON STANDARD ERROR
    while IFS='|' read -r name scenario option line; do
      [ -n "$name" ] || continue
      start=$(date +%s)
      tocmate "$scenario" "$option" --drive "$disc" >"$tmp/out" 2>"$tmp/err"
      status=$?
      seconds=$(($(date +%s) - start))
      if [ $status -ne 1 ] || [ -s "$tmp/out" ] || [ "$(cat "$tmp/err")" != "$line" ] ||
        [ $seconds -ge 30 ] || grep -q 'root:' "$tmp/out" "$tmp/err"; then
        fail "$name: exit $status in $seconds s, [$(cat "$tmp/out")] [$(cat "$tmp/err")]"
      else
        echo "ok: $name ($seconds s): $line"
      fi
    done <<EOF
never answers|silent|--lookup|MusicBrainz: no answer from 127.0.0.1 within 10 s
never answers, AccurateRip|silent|--verify|AccurateRip: no answer from 127.0.0.1 within 10 s
a byte every 5 s|trickle|--lookup|MusicBrainz: no whole answer from 127.0.0.1 within 25 s
50 MB announced|huge|--lookup|MusicBrainz: an answer of 52428800 bytes, more than the 8388608 any real one takes: refused
50 MB unannounced|endless|--lookup|MusicBrainz: an answer longer than the 8388608 bytes any real one takes: refused
50 MB to AccurateRip|endless|--verify|AccurateRip: an answer longer than the 4194304 bytes any real one takes: refused
an HTML page|html|--lookup|MusicBrainz: answered with an HTML page, not data
an HTML page, AccurateRip|html|--verify|AccurateRip: answered with an HTML page, not data
a redirect to a file|redirect|--lookup|MusicBrainz: a redirect to an address of scheme file: only http and https are followed
a redirect to a file, AccurateRip|redirect|--verify|AccurateRip: a redirect to an address of scheme file: only http and https are followed
an external entity|entity|--lookup|MusicBrainz: malformed XML at line 2: a DTD (<!DOCTYPE>), which no answer has
XML cut short|malformed|--lookup|MusicBrainz: malformed XML at line 19: XML document structures must start and end within the same entity.
CDDB without status|badcddb|--lookup|gnudb: not a CDDB answer: its first line is no status
EOF
    ;;
  *)
    fail "no such case"
    ;;
esac
exit $failed
