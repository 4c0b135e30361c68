#!/usr/bin/env bash
# Usage: checks.sh GUEST JAR DISCS-FOLDER DISCID-PROGRAM JAVA
# The release jar in the CDEmu guest (guest.sh): a real kernel's sr driver and CDEmu's MMC
# answer it. In one boot, as a user in group cdrom, for each sample disc of the table below
# (written as a disc image of silence from its table-of-contents file, which holds every
# expected value):
#   - --json --all from /dev/sr0: equal to the same disc read as the file (by JAVA on this
#     machine), and its every value, extras included, to the file's lines
#     (../jvm/check_disc_json.py);
#   - libdiscid on /dev/sr0: the same MusicBrainz ID and TOC, catalog number and ISRCs;
# and for the first disc the two lines and --musicbrainz, as the file gives them, and
# --drives (the kernel's names of the drive); then no disc (the drive emptied), after which
# every disc is one swapped in.
set -u
guest=$1 jar=$2 discs=$3 discid=$4 java=$5
here=$(cd "$(dirname "$0")" && pwd)
# The discs: a published MusicBrainz ID, a hidden first track, 99 tracks, and CD-Text in
# ASCII in two languages, with a catalog number and ISRCs. (CDEmu reads a cdrdao file as
# UTF-8 text, so only ASCII CD-Text reaches its drive as written: the Latin-1 and MS-JIS
# discs are the fake drive's. It also leaves out the tracks' ISRCs among the CD-Text packs,
# which its disc therefore has none of, and numbered the blocks of a disc by language code.)
table=(22-tracks hidden-first-track 99-tracks ascii-cdtext)
source "$here/common.sh"

make_work "$jar"
cp "$discid" "$work/discid" || exit 1
{
  for disc in "${table[@]}"; do
    python3 "$here/disc_image.py" "$discs/$disc.toc" "$work/images/$disc.toc" || exit 1
    echo "load images/$disc.toc"
    echo "run $disc.json $guest_java --json --all --drive /dev/sr0"
    echo "run $disc.discid ./discid /dev/sr0"
    if [ "$disc" = "${table[0]}" ]; then
      echo "run lines $guest_java --drive /dev/sr0"
      echo "run musicbrainz $guest_java --musicbrainz --drive /dev/sr0"
      echo "run drives $guest_java --drives"
      # The kernel's names of the drive (from its INQUIRY), as --drives prints them.
      echo "run names sh -c 'cd /sys/block/sr0/device &&" \
        "sed \"s/ *\$//\" vendor model rev | paste -sd \"\\t\"'"
      echo "unload"
      echo "run no-disc $guest_java --drive /dev/sr0"
    else
      echo "unload"
    fi
  done
} >"$work/steps.sh" || exit 1

boot_guest "$guest"

failed=0
fail() {
  echo "$*"
  failed=1
}
out=$work/out
# Exit status, standard output and error of a guest's command as expected.
expect_run() {
  local name=$1 expected got
  expected=$(printf 'exit %s\n%s\nerror: %s' "$2" "$3" "$4")
  got=$(printf 'exit %s\n%s\nerror: %s' "$(cat "$out/$name.status")" "$(cat "$out/$name.out")" \
    "$(cat "$out/$name.err")")
  [ "$got" = "$expected" ] || fail "$name: expected"$'\n'"$expected"$'\n'"got"$'\n'"$got"
}
for disc in "${table[@]}"; do
  toc=$discs/$disc.toc
  file_json=$("$java" -jar "$jar" --json --all --drive "$toc") || fail "$disc: the file not read"
  expect_run "$disc.json" 0 "$(sed 's|^  "drive": .*|  "drive": "/dev/sr0",|' <<<"$file_json")" ""
  python3 "$here/../jvm/check_disc_json.py" --extras=exact "$out/$disc.json.out" "$toc" /dev/sr0 ||
    fail "$disc: not the file's values"
  python3 "$here/discid_matches.py" "$out/$disc.json.out" "$out/$disc.discid.out" ||
    fail "$disc: not libdiscid's values"
done
first=$discs/${table[0]}.toc
expect_run lines 0 "$("$java" -jar "$jar" --drive "$first")" ""
expect_run musicbrainz 0 "$("$java" -jar "$jar" --musicbrainz --drive "$first")" ""
expect_run drives 0 "/dev/sr0"$'\t'"$(cat "$out/names.out")" ""
expect_run no-disc 1 "" "/dev/sr0: no disc in the drive"
[ $failed -eq 0 ] && echo "ok: ${table[*]} in CDEmu's drive, as files and libdiscid give them;" \
  "the drive list, no disc and discs swapped in"
exit $failed
