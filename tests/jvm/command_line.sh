#!/usr/bin/env bash
# Usage: command_line.sh CASE JAVA TOCMATE-JAR DISCS-FOLDER FAKE-DRIVE-LIBRARY
# The command line's options that read a disc through the Disc class. Expected values come
# from the sample discs' "# query" and "# lengths" lines and their table of contents.
#   drive        --drive on a (simulated) CD drive gives the two lines, data track included;
#                without --drive, TOCMATE_DRIVE names the drive
#   musicbrainz  --musicbrainz gives the published disc IDs and the submission address
#   json         --json holds every value, parsed by Python's JSON reader; a drive named with
#                quotes, backslashes and control characters comes back as it was
#   failure      a disc that can not be read: exit 1, nothing on standard output, one line
#                of standard error, whatever bytes the drive's name holds
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
# The disc IDs that MusicBrainz publishes for the 22-track disc and a 6-track disc.
id_22=xUp1F2NkfP8s8jaeFn_Av3jNEI4-
toc_6="1 6 95462 150 15363 32314 46592 63414 80489"
id_6=49HHV7Eb8UKF3aQiNmu1GR8vKTY-

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
    [ "$(head -1 <<<"$output")" = "$id_22" ] || fail "TOCMATE_DRIVE: got [$output]"
    ;;
  musicbrainz)
    echo "$toc_6" >"$tmp/6-tracks.toc"
    for disc in "$discs/22-tracks.toc $id_22" "$tmp/6-tracks.toc $id_6"; do
      read -r toc id <<<"$disc"
      set -- $(table "$toc")
      url="https://musicbrainz.org/cdtoc/attach?id=$id&tracks=$2&toc=$(table "$toc" | tr ' ' +)"
      output=$("${tool[@]}" --drive "$toc")
      [ "$output" = "$(printf '%s\n%s' "$id" "$url")" ] || fail "$toc: got [$output]"
    done
    ;;
  json)
    check=$(dirname "$0")/check_disc_json.py
    toc=$discs/22-tracks.toc
    "${tool[@]}" --json --drive "$toc" >"$tmp/json" &&
      python3 "$check" "$tmp/json" "$toc" "$toc" "$id_22" || fail "22 tracks: $(cat "$tmp/json")"
    drive=$tmp/$'a "quoted" \\ name\twith\x1b[2J control\ncharacters\x7f.toc'
    cp "$discs/worked-example.toc" "$drive"
    "${tool[@]}" --drive "$drive" --json >"$tmp/json" &&
      python3 "$check" "$tmp/json" "$drive" "$drive" - || fail "odd name: $(cat -v "$tmp/json")"
    FAKE_CDROM_DATA=22 in_fake_drive "$toc" "${tool[@]}" --json --drive "$tmp/sr0" >"$tmp/json" &&
      python3 "$check" "$tmp/json" "$toc" "$tmp/sr0" - 22 || fail "data track: $(cat "$tmp/json")"
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
    ;;
  *)
    fail "no such case"
    ;;
esac
[ $failed -eq 0 ] && echo "ok: $case_name"
exit $failed
