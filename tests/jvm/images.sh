#!/usr/bin/env bash
# Usage: images.sh JAVA TOCMATE-JAR AUDIO-DISCS-FOLDER FAKE-DRIVE-LIBRARY
# CUE sheet images of the fake drive's discs (make_image.py writes every sample the drive
# serves), a case a line: --drive image.cue gives the MusicBrainz, freedb and AccurateRip
# identifiers of the same disc in the fake drive, and its --rip the disc's samples with the
# checksums of whipper's accuraterip-checksum (check_rip.py), and the CUE sheet it writes,
# read back, the image's identifiers and layout. Then --verify against an
# answer made of those checksums, with one sample of track 2 changed, and with a file cut short.
set -u
java=$1 jar=$2 discs=$3 fake=$4
here=$(dirname "$0")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAILED $*"; failed=1; }

# image NAME DISC STYLE SAMPLES(yes: the rip must equal the disc's) MAKE-OPTIONS
image() {
  local name=$1 disc=$discs/$2.toc style=$3 samples=$4
  rm -rf "$tmp/image" "$tmp/rip" && mkdir "$tmp/image"
  python3 "$here/make_image.py" "$disc" "$tmp/image" "$style" ${5:-}
  local option
  for option in --musicbrainz --accuraterip; do
    "$java" -jar "$jar" --drive "$tmp/image/image.cue" "$option" >"$tmp/from-image" 2>&1
    bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$disc" "$java" -jar "$jar" \
      "$option" >"$tmp/from-drive" 2>&1
    cmp -s "$tmp/from-image" "$tmp/from-drive" ||
      { fail "$name: $option differs:"; diff "$tmp/from-image" "$tmp/from-drive"; return; }
  done
  if [ "$samples" = yes ]; then
    "$java" -jar "$jar" --drive "$tmp/image/image.cue" --rip "$tmp/rip" --hidden-track --secure \
      >"$tmp/lines" 2>"$tmp/err" || { fail "$name: --rip"; cat "$tmp/err"; return; }
    # Secure asked of an image: its log says each sector was read once, not twice.
    grep -qx "Read mode: a disc image: .* every sector is read once" "$tmp/rip/rip.log" ||
      { fail "$name: $(grep 'Read mode' "$tmp/rip/rip.log")"; return; }
    local hidden=
    [ -e "$tmp/rip/track00.wav" ] && hidden=--hidden
    python3 "$here/check_rip.py" "$disc" "$tmp/rip" "$tmp/lines" $hidden || { fail "$name"; return; }
    # The sheet the rip wrote, read back, is the same disc: its identifiers (a data track
    # described by its length) and its layout as the image's own.
    for option in --musicbrainz --accuraterip; do
      "$java" -jar "$jar" --drive "$tmp/image/image.cue" "$option" >"$tmp/from-image" 2>&1
      "$java" -jar "$jar" --drive "$tmp/rip/disc.cue" "$option" >"$tmp/from-rip" 2>&1
      cmp -s "$tmp/from-image" "$tmp/from-rip" ||
        { fail "$name: the rip's sheet gives another $option:"; diff "$tmp/from-image" \
          "$tmp/from-rip"; cat "$tmp/rip/disc.cue"; return; }
    done
    "$java" -jar "$jar" --drive "$tmp/image/image.cue" --layout >"$tmp/image-layout" 2>&1
    "$java" -jar "$jar" --drive "$tmp/rip/disc.cue" --layout >"$tmp/rip-layout" 2>&1
    if grep -Fxvq -f "$tmp/image-layout" "$tmp/rip-layout" || [ ! -s "$tmp/rip-layout" ]; then
      fail "$name: the rip's sheet lays out another disc:"
      diff "$tmp/image-layout" "$tmp/rip-layout"; return
    fi
  fi
  echo "ok: $name"
}

#     name                          disc                style          samples options
image "one BINARY file"             two-tracks          one-file       yes
image "one WAVE file, hidden track" short-hidden-track  one-file       yes     --wave
image "gaps appended, WAVE"         short-hidden-track  gaps-appended  yes     --wave
image "pregaps in their own files"  short-hidden-track  own-pregap     yes
image "PREGAP: gaps left out"       short-hidden-track  pregap-gone    no      --pregap=150
image "PREGAP, data track"          short-enhanced-cd   pregap-gone    no
image "gaps appended, data track"   short-enhanced-cd   gaps-appended  yes

# Discs with data tracks, and one with a hidden track, ripped from the fake drive in each
# style of sheet: the rip's sheet read back is the same disc, with the drive's identifiers
# (data tracks described by their lengths, pregaps after them as silence, the hidden track's
# audio its file's: --layout's line "hidden"). LAYOUT: the fake drive's pregaps.
ripped() {
  local name=$1 disc=$discs/$2.toc style=$3 option
  rm -rf "$tmp/rip"
  FAKE_CDROM_LAYOUT=$4 bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$disc" "$java" \
    -jar "$jar" --rip "$tmp/rip" --cue-style "$style" --hidden-track >/dev/null 2>"$tmp/err" ||
    { fail "$name: --rip"; cat "$tmp/err"; return; }
  for option in --musicbrainz --accuraterip --layout; do
    FAKE_CDROM_LAYOUT=$4 bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$disc" "$java" \
      -jar "$jar" "$option" 2>&1 | grep -v '^track' >"$tmp/from-drive"
    "$java" -jar "$jar" --drive "$tmp/rip/disc.cue" "$option" 2>&1 | grep -v '^track' \
      >"$tmp/from-rip"
    cmp -s "$tmp/from-drive" "$tmp/from-rip" ||
      { fail "$name: the rip's sheet gives another $option:"; diff "$tmp/from-drive" \
        "$tmp/from-rip"; cat "$tmp/rip/disc.cue"; return; }
  done
  echo "ok: $name: the rip's sheet is the same disc"
}

#      name                                  disc               style      layout
ripped "Mixed Mode"                          mixed-mode         appended   "pregap 2 75"
ripped "Mixed Mode, gaps left out"           mixed-mode         left-out   "pregap 2 75 pregap 3 30"
ripped "audio, data, audio"                  audio-data-audio   appended   "pregap 2 40 pregap 3 75"
ripped "audio, data, audio, gaps left out"   audio-data-audio   left-out   "pregap 3 75"
ripped "Enhanced CD"                         short-enhanced-cd  appended   "pregap 2 20"
ripped "Enhanced CD, gaps left out"          short-enhanced-cd  left-out   ""
ripped "a hidden track, gaps left out"       short-hidden-track left-out   "pregap 2 75"

# --verify of the last image against an answer of its disc (make_answer.py): every track
# confident; then with one sample of track 2 changed: track 2 alone fails; then the disc
# ripped 667 samples late: every track fails, and the offset that matches is named.
verify() {
  "$java" -jar "$jar" --drive "$tmp/image/image.cue" --verify --accuraterip-results \
    "$tmp/answer.bin" >"$tmp/verified" 2>"$tmp/err"
}
"$java" -jar "$jar" --drive "$tmp/image/image.cue" --accuraterip >"$tmp/id"
python3 "$here/make_answer.py" "$tmp/lines" "$tmp/id" "$discs/short-enhanced-cd.toc" "$tmp/answer.bin"
if ! verify || [ "$(grep -c ' confidence 7$' "$tmp/verified")" -ne 3 ] || [ -s "$tmp/err" ]; then
  fail "--verify of an image the answer holds"; cat "$tmp/verified" "$tmp/err"
else
  echo "ok: --verify, every track confident"
fi
python3 - "$tmp/image/track02.bin" <<'PY'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(4 * 1000)
    value = f.read(1)[0]
    f.seek(4 * 1000)
    f.write(bytes([value ^ 1]))
PY
verify
status=$?
if [ "$status" -ne 1 ] || ! grep -q '^02 .* confidence 0$' "$tmp/verified" ||
  [ "$(grep -c ' confidence 7$' "$tmp/verified")" -ne 2 ] ||
  [ "$(cat "$tmp/err")" != "track 2: no rip in the AccurateRip answer has its checksums" ]; then
  fail "--verify with one sample of track 2 changed: exit $status"; cat "$tmp/verified" "$tmp/err"
else
  echo "ok: --verify, one sample changed: track 2 alone fails"
fi
# A BIN 1000 bytes short: named with the bytes missing, never made up with silence.
truncate -s -1000 "$tmp/image/track02.bin"
verify
status=$?
if [ "$status" -eq 0 ] || [ -s "$tmp/verified" ] ||
  ! grep -q "'track02.bin': cut short: 1000 bytes missing" "$tmp/err" ||
  [ "$(wc -l <"$tmp/err")" -ne 1 ]; then
  fail "--verify of a BIN 1000 bytes short: exit $status"; cat "$tmp/verified" "$tmp/err"
else
  echo "ok: --verify, a BIN 1000 bytes short: refused, the bytes named"
fi
rm -rf "$tmp/image" && mkdir "$tmp/image"
python3 "$here/make_image.py" "$discs/short-enhanced-cd.toc" "$tmp/image" gaps-appended --shift 667
verify
status=$?
if [ "$status" -ne 1 ] || [ "$(grep -c ' confidence 0$' "$tmp/verified")" -ne 3 ] ||
  [ "$(tail -1 "$tmp/err")" != \
    "matches at offset -667: the rip was made with a read offset 667 samples off" ]; then
  fail "--verify of a rip 667 samples off: exit $status"; cat "$tmp/verified" "$tmp/err"
else
  echo "ok: --verify, a rip 667 samples off: every track fails, the offset named"
fi

# A test tone (a period of 100 samples) matches its answer at every period: --find-offset
# names each offset that fits, 0 first, and exits 1 saying the audio may repeat.
rm -rf "$tmp/tone" && mkdir "$tmp/tone"
python3 - "$tmp/tone" <<'PY'
import math, struct, sys
folder = sys.argv[1]
def sample(i):
    left = round(8000 * math.sin(2 * math.pi * i / 100))
    return (left & 0xFFFF) | ((left // 2) & 0xFFFF) << 16
sheet = ""
for number in (1, 2, 3):
    name = "tone%d.bin" % number
    with open("%s/%s" % (folder, name), "wb") as out:
        out.write(struct.pack("<%dI" % (600 * 588), *(sample(i) for i in range(600 * 588))))
    sheet += 'FILE "%s" BINARY\n  TRACK %02d AUDIO\n    INDEX 01 00:00:00\n' % (name, number)
open(folder + "/tone.cue", "w").write(sheet)
PY
"$java" -jar "$jar" --drive "$tmp/tone/tone.cue" --accuraterip >"$tmp/tone/id"
python3 - "$tmp/tone" <<'PY'
import math, struct, sys
folder = sys.argv[1]
_, id1, id2, cddb = open(folder + "/id").readline().strip().split("-")
answer = struct.pack("<BIII", 3, int(id1, 16), int(id2, 16), int(cddb, 16))
for number in (1, 2, 3):
    frame = 0
    for k in range(588):
        left = round(8000 * math.sin(2 * math.pi * (450 * 588 + k) / 100))
        frame += (k + 1) * ((left & 0xFFFF) | ((left // 2) & 0xFFFF) << 16)
    answer += struct.pack("<BII", 5, 0, frame & 0xFFFFFFFF)
open(folder + "/tone.bin", "wb").write(answer)
PY
"$java" -jar "$jar" --drive "$tmp/tone/tone.cue" --find-offset --accuraterip-results \
  "$tmp/tone/tone.bin" >"$tmp/offsets" 2>"$tmp/err"
status=$?
if [ "$status" -ne 1 ] || [ "$(head -1 "$tmp/offsets")" != "0 (tracks 1 2 3, confidence 5)" ] ||
  [ "$(grep -Ec '^(0|[-+][0-9]+00) \(tracks 1 2 3, confidence 5\)$' "$tmp/offsets")" -ne 117 ] ||
  [ "$(wc -l <"$tmp/offsets")" -ne 117 ] || ! grep -q "audio repeats" "$tmp/err"; then
  fail "--find-offset on a test tone: exit $status"; head -3 "$tmp/offsets"; cat "$tmp/err"
else
  echo "ok: --find-offset on a test tone: 117 offsets named, exit 1"
fi
exit $failed
