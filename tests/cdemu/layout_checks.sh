#!/usr/bin/env bash
# Usage: layout_checks.sh GUEST JAR
# A disc's layout in the CDEmu guest (guest.sh), read through the kernel's sr driver from
# CDEmu's Q sub-channel: a cdrdao TOC image (audio_image.py ... layout) with audio before
# track 1, pregaps, an index point and pre-emphasis. --layout must print the image's layout,
# and the one cdrdao read-toc reports in the same guest; --rip --hidden-track must copy the
# audio before track 1 and every track as the image holds them, and write the CUE sheet of
# that layout and a log that verifies. Then a Mixed Mode image (audio_image.py ... mixed): the
# sheet of its rip, read back on this side, gives the identifiers the drive gave, the image's.
set -u
guest=$1 jar=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"

make_work "$jar"
python3 "$here/audio_image.py" "$work/images" layout >"$work/layout" || exit 1
python3 "$here/audio_image.py" "$work/images" mixed || exit 1
cat >"$work/steps.sh" <<STEPS
mkdir -m 777 /work/out/rip /work/out/mixed
load images/layout.toc
run layout $guest_java --layout --drive /dev/sr0
run rip $guest_java --rip out/rip --hidden-track --drive /dev/sr0
(cd /work/out && cdrdao read-toc --device /dev/sr0 cdrdao.toc >cdrdao.out 2>&1; echo \$? >cdrdao.status)
unload
load images/mixed.cue
run mixed-accuraterip $guest_java --accuraterip --drive /dev/sr0
run mixed-musicbrainz $guest_java --musicbrainz --drive /dev/sr0
run mixed $guest_java --rip out/mixed --drive /dev/sr0
unload
STEPS

boot_guest "$guest"

out=$work/out
failed=0
fail() {
  echo "$*"
  failed=1
}
for run in layout rip cdrdao mixed mixed-accuraterip mixed-musicbrainz; do
  [ "$(cat "$out/$run.status")" = 0 ] ||
    fail "$run: exit $(cat "$out/$run.status"): $(cat "$out/$run.err" "$out/$run.out" 2>/dev/null)"
done
diff "$work/layout" "$out/layout.out" >/dev/null || fail "--layout printed:
$(cat "$out/layout.out")
wanted:
$(cat "$work/layout")"
python3 - "$work" <<'CHECK' || fail "the rip or cdrdao's table differ from the image"
import hashlib, re, sys
work = sys.argv[1]
big = open(work + "/images/layout.bin", "rb").read()
image = bytearray(len(big))
image[0::2], image[1::2] = big[1::2], big[0::2]
ok = True
def check(holds, what):
    global ok
    if not holds:
        print(what)
        ok = False
# In logical blocks: the hidden track's 450 sectors, then each track up to the next one's
# start (track 2's pregap at the end of track 1's file).
for name, start, end in (("track00", 0, 450), ("track01", 450, 1350), ("track02", 1350, 2250),
                         ("track03", 2250, 2850)):
    data = open("%s/out/rip/%s.wav" % (work, name), "rb").read()[44:]
    check(data == image[start * 2352:end * 2352], name + ".wav is not the image's")
sheet = open(work + "/out/rip/disc.cue", newline="").read()
wanted = """FILE "track00.wav" WAVE
  TRACK 01 AUDIO
    FLAGS PRE
    INDEX 00 00:00:00
FILE "track01.wav" WAVE
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 00 00:10:00
FILE "track02.wav" WAVE
    INDEX 01 00:00:00
    INDEX 02 00:05:00
FILE "track03.wav" WAVE
  TRACK 03 AUDIO
    FLAGS PRE
    INDEX 01 00:00:00
""".replace("\n", "\r\n")
check(sheet.endswith(wanted) and "\r\nFILE" not in sheet[:-len(wanted)],
      "disc.cue is not the image's layout:\n" + sheet)
log = open(work + "/out/rip/rip.log", "rb").read()
body, last = log[:-1].rsplit(b"\n", 1)
hash_line = b"Log SHA-256 (catches accidental changes, not forgery) "
check(last == hash_line + hashlib.sha256(body + b"\n").hexdigest().encode(),
      "rip.log's last line is not the SHA-256 of the rest")
# cdrdao's view of the same drive: per track its pregap (START), index points and flag.
tracks = re.split(r"\n\s*TRACK AUDIO", open(work + "/out/cdrdao.toc").read())[1:]
seen = [(re.search(r"\nSTART (\S+)", t).group(1) if "\nSTART " in t else "00:00:00",
         re.findall(r"\nINDEX (\S+)", t), "\nPRE_EMPHASIS" in t) for t in tracks]
check(seen == [("00:06:00", [], True), ("00:02:00", ["00:05:00"], False),
               ("00:00:00", [], True)], "cdrdao read-toc reports %s" % seen)
sys.exit(0 if ok else 1)
CHECK
for option in accuraterip musicbrainz; do
  java -jar "$jar" --drive "$work/out/mixed/disc.cue" --$option >"$work/mixed-sheet" 2>&1
  java -jar "$jar" --drive "$work/images/mixed.cue" --$option >"$work/mixed-image" 2>&1
  cmp -s "$out/mixed-$option.out" "$work/mixed-sheet" &&
    cmp -s "$out/mixed-$option.out" "$work/mixed-image" ||
    fail "Mixed Mode: the drive, the rip's sheet and the image give other --$option:
$(cat "$out/mixed-$option.out" "$work/mixed-sheet" "$work/mixed-image" "$work/out/mixed/disc.cue")"
done
[ $failed -eq 0 ] && echo "ok: the layout as the image and cdrdao give it, the hidden track" \
  "and every track as the image holds them, the CUE sheet of the layout, a log that verifies," \
  "a Mixed Mode rip's sheet with the drive's and the image's identifiers"
exit $failed
