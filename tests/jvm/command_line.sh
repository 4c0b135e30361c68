#!/usr/bin/env bash
# Usage: command_line.sh CASE JAVA TOCMATE-JAR DISCS-FOLDER FAKE-DRIVE-LIBRARY
# The command line's options that read a disc through the Disc class. Expected values come
# from the sample discs' "# query", "# lengths" and "# musicbrainz" lines and their table of
# contents.
#   drive        --drive on a (simulated) CD drive gives the two lines, data track included;
#                without --drive, TOCMATE_DRIVE names the drive
#   musicbrainz  --musicbrainz gives the published disc IDs and the submission address
#   accuraterip  --accuraterip gives every "# accuraterip" disc's ID, its address, the CTDB
#                TOC ID and lookup, from a file and from the drive
#   json         --json holds every value, parsed by Python's JSON reader: a disc whose first
#                track is 3, a data track, a disc of data only; drives named with quotes,
#                backslashes and control characters, or with an emoji, come back as they were;
#                a name in Latin-1 bytes is read under a Latin-1 locale
#   all          --all prints the album's UPC/EAN, a genre with or without its text, and a
#                title of the characters of an escape apart from one holding the byte;
#                --all goes with --json alone of the other outputs
#   output       an output that can not be written (full, closed, a pipe nobody reads): exit 1
#                and a message on standard error
#   no_drive     on a machine without a CD drive (skipped, 77, on one with a drive), no
#                options: two lines of one space, exit 1, one line of standard error
#   failure      a disc that can not be read: exit 1, nothing on standard output, one line
#                of standard error, whatever bytes the drive's name holds; --musicbrainz
#                for a disc without audio tracks likewise; a wrong argument shown in ASCII
set -u
case_name=$1 java=$2 jar=$3 discs=$4 fake=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Only --drive may choose the disc where a test names one.
export TOCMATE_DRIVE=/nonexistent/tocmate/drive
tool=("$java" -jar "$jar")
failed=0
fail() {
  echo "$case_name: $*"
  failed=1
}
comment() { sed -n "s/^# $2 //p" "$1"; }
table() { sed 's/#.*//' "$1" | tr -s ' \n\t' ' ' | sed 's/^ //; s/ $//'; }

# in_fake_drive TOC-FILE COMMAND...: the command with a simulated drive at $tmp/sr0.
in_fake_drive() {
  local toc=$1
  shift
  : >"$tmp/sr0"
  LD_PRELOAD=$fake FAKE_CDROM_DEVICE=$tmp/sr0 FAKE_CDROM_TOC=$(table "$toc") "$@"
}

case $case_name in
  drive)
    toc=$discs/22-tracks.toc
    expected=$(printf '%s\n%s' "$(comment "$toc" query)" "$(comment "$toc" lengths)")
    output=$(FAKE_CDROM_DATA=22 in_fake_drive "$toc" "${tool[@]}" --drive "$tmp/sr0")
    [ "$output" = "$expected" ] || fail "--drive on a drive: got [$output]"
    output=$(in_fake_drive "$toc" env TOCMATE_DRIVE="$tmp/sr0" "${tool[@]}" --musicbrainz)
    [ "$(head -1 <<<"$output")" = "$(comment "$toc" musicbrainz)" ] ||
      fail "TOCMATE_DRIVE: got [$output]"
    ;;
  musicbrainz)
    published=$(grep -l '^# musicbrainz ' "$discs"/*.toc)
    [ "$(wc -l <<<"$published")" -ge 2 ] || fail "fewer than two discs with a published ID"
    for toc in $published; do
      # shellcheck disable=SC2046 # the table's numbers, one argument each
      set -- $(table "$toc")
      url="https://musicbrainz.org/cdtoc/attach?id=$(comment "$toc" musicbrainz)&tracks=$(($# - 3))"
      url+="&toc=$(table "$toc" | tr ' ' +)"
      output=$("${tool[@]}" --musicbrainz --drive "$toc")
      # An Enhanced CD's address holds its audio session, which DiscCheck checks.
      grep -q '[0-9]d' "$toc" && output=$(head -1 <<<"$output") url=
      [ "$output" = "$(printf '%s\n%s' "$(comment "$toc" musicbrainz)" "$url")" ] ||
        fail "$toc: got [$output]"
    done
    ;;
  accuraterip)
    for toc in $(grep -l '^# accuraterip ' "$discs"/*.toc); do
      id=$(comment "$toc" accuraterip)
      sum=${id:4:8}
      expected="$id
http://www.accuraterip.com/accuraterip/${sum:7:1}/${sum:6:1}/${sum:5:1}/dBAR-$id.bin"
      ctdb=$(comment "$toc" ctdb)
      [ -n "$ctdb" ] && expected+=$'\n'$ctdb
      expected+=$'\n'"https://db.cue.tools/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=$(comment "$toc" ctdb-lookup)"
      for drive in "$toc" "$tmp/sr0"; do
        output=$(in_fake_drive "$toc" "${tool[@]}" --accuraterip --drive "$drive")
        # Where the disc has no published CTDB TOC ID, the check is of the other lines.
        [ -n "$ctdb" ] || output=$(sed 3d <<<"$output")
        [ "$output" = "$expected" ] || fail "$drive for $toc: got [$output]"
      done
    done
    ;;
  json)
    check=(python3 "$(dirname "$0")/check_disc_json.py" "$tmp/json")
    for toc in "$discs/22-tracks.toc" "$discs/from-track-3.toc" "$discs/hidden-first-track.toc"; do
      "${tool[@]}" --json --drive "$toc" >"$tmp/json" && "${check[@]}" "$toc" "$toc" ||
        fail "$toc: $(cat "$tmp/json")"
    done
    drive=$tmp/$'a "quoted" \\ name\twith\x1b[2J control\ncharacters\x7f.toc'
    cp "$discs/worked-example.toc" "$drive"
    "${tool[@]}" --drive "$drive" --json >"$tmp/json" && "${check[@]}" "$drive" "$drive" ||
      fail "odd name: $(cat -v "$tmp/json")"
    # A name beyond the Basic Multilingual Plane, which Java names in UTF-8 under this locale.
    drive=$tmp/$'disc-\U1F4BF.toc'
    cp "$discs/worked-example.toc" "$drive"
    LC_ALL=C.UTF-8 "${tool[@]}" --drive "$drive" --json >"$tmp/json" &&
      "${check[@]}" "$drive" "$drive" ||
      fail "emoji name: $(cat -v "$tmp/json")"
    # A name that is no UTF-8, under a Latin-1 locale (made here) in which Java names it.
    drive=$tmp/$'caf\xe9.toc'
    cp "$discs/worked-example.toc" "$drive"
    localedef -i fr_FR -f ISO-8859-1 "$tmp/fr_FR.ISO-8859-1" 2>/dev/null
    output=$(LOCPATH=$tmp LC_ALL=fr_FR.ISO-8859-1 "${tool[@]}" --drive "$drive" --musicbrainz)
    [ "$output" = "$("${tool[@]}" --drive "$discs/worked-example.toc" --musicbrainz)" ] ||
      fail "Latin-1 name: $(cat -v <<<"$output")"
    for disc in 22-tracks:22 single-track:1; do
      toc=$discs/${disc%:*}.toc
      FAKE_CDROM_DATA=${disc#*:} in_fake_drive "$toc" "${tool[@]}" --json --drive "$tmp/sr0" \
        >"$tmp/json" && "${check[@]}" "$toc" "$tmp/sr0" "${disc#*:}" ||
        fail "data track ${disc#*:}: $(cat "$tmp/json")"
    done
    ;;
  no_drive)
    if [ -e /dev/cdrom ] || grep -q 'drive name:.*[a-z]' /proc/sys/dev/cdrom/info 2>/dev/null; then
      echo "skipped: this machine has a CD drive"
      exit 77
    fi
    output=$(env -u TOCMATE_DRIVE "${tool[@]}" 2>"$tmp/errors")
    status=$?
    [ $status -eq 1 ] && [ "$output" = "$(printf ' \n ')" ] && [ "$(wc -l <"$tmp/errors")" -eq 1 ] &&
      grep -q "^no CD drive: .*TOCMATE_DRIVE can name" "$tmp/errors" ||
      fail "no drive: exit $status, [$output], [$(cat "$tmp/errors")]"
    ;;
  failure)
    for drive in /nonexistent/disc.toc $'/nonexistent/two\nlines\x1b[2J.toc' /dev/null; do
      for option in --drive --json --musicbrainz; do
        arguments=(--drive "$drive")
        [ $option != --drive ] && arguments+=("$option")
        output=$("${tool[@]}" "${arguments[@]}" 2>"$tmp/errors")
        status=$?
        if [ $status -ne 1 ] || [ -n "$output" ] || [ "$(wc -l <"$tmp/errors")" -ne 1 ] ||
          grep -q $'\x1b' "$tmp/errors"; then
          fail "$option $drive: exit $status, [$output], [$(cat -v "$tmp/errors")]"
        fi
      done
    done
    # A wrong argument that would reverse the line, or clear the screen, is shown escaped.
    LC_ALL=C.UTF-8 "${tool[@]}" $'--\xe2\x80\xae1 ,\e[2J' 2>"$tmp/errors"
    status=$?
    [ $status -eq 2 ] && ! LC_ALL=C grep -q '[^ -~]' "$tmp/errors" ||
      fail "wrong argument: exit $status, [$(cat -v "$tmp/errors")]"
    output=$(FAKE_CDROM_DATA=1 in_fake_drive "$discs/single-track.toc" "${tool[@]}" \
      --musicbrainz --drive "$tmp/sr0" 2>"$tmp/errors")
    status=$?
    [ $status -eq 1 ] && [ -z "$output" ] && [ "$(wc -l <"$tmp/errors")" -eq 1 ] ||
      fail "--musicbrainz, data only: exit $status, [$output], [$(cat "$tmp/errors")]"
    ;;
  all)
    # cdtext lines of a disc (the file's \x5c is a backslash) | the line --all prints
    cases=(
      "cdtext 0 0 upc 0724383527720|cdtext 0 0 upc 0724383527720"
      "cdtext 0 0 genre 9|cdtext 0 0 genre 9"
      "cdtext 0 0 genre 9 Jazz fusion|cdtext 0 0 genre 9 Jazz fusion"
      "cdtext 0 1 title \x5cx1b|cdtext 0 1 title \\\\x1b"
      "cdtext 0 1 title \x1b|cdtext 0 1 title \\x1b"
    )
    for case in "${cases[@]}"; do
      printf '1 1 15000\n150\ncdtext-block 0 09 latin1\n%s\n' "${case%|*}" >"$tmp/disc.toc"
      output=$("${tool[@]}" --all --drive "$tmp/disc.toc" | grep '^cdtext 0 [01] ')
      [ "$output" = "${case#*|}" ] || fail "${case%|*}: got [$output]"
    done
    for option in --musicbrainz --accuraterip --drives; do
      "${tool[@]}" --all $option --drive "$discs/latin1-cdtext.toc" >"$tmp/out" 2>&1
      status=$?
      [ $status -eq 2 ] || fail "--all $option: exit $status, [$(cat "$tmp/out")]"
    done
    ;;
  output)
    for option in --json --help; do
      "${tool[@]}" $option --drive "$discs/22-tracks.toc" >/dev/full 2>"$tmp/errors"
      status=$?
      [ $status -eq 1 ] && grep -q 'output could not be written' "$tmp/errors" ||
        fail "$option >/dev/full: exit $status, [$(cat "$tmp/errors")]"
    done
    "${tool[@]}" --drive "$discs/22-tracks.toc" >&- 2>"$tmp/errors"
    status=$?
    [ $status -eq 1 ] && [ -s "$tmp/errors" ] || fail "closed output: exit $status"
    # The reader is gone before the JVM writes.
    "${tool[@]}" --json --drive "$discs/22-tracks.toc" 2>"$tmp/errors" | true
    status=${PIPESTATUS[0]}
    [ "$status" -eq 1 ] && [ -s "$tmp/errors" ] || fail "closed pipe: exit $status"
    ;;
  *)
    fail "no such case"
    ;;
esac
[ $failed -eq 0 ] && echo "ok: $case_name"
exit $failed
