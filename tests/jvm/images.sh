#!/usr/bin/env bash
# Usage: images.sh JAVA TOCMATE-JAR AUDIO-DISCS-FOLDER FAKE-DRIVE-LIBRARY
# CUE sheet images of the fake drive's discs (make_image.py writes every sample the drive
# serves), a case a line: --drive image.cue gives the MusicBrainz, freedb and AccurateRip
# identifiers of the same disc in the fake drive, and its --rip the disc's samples with the
# checksums of whipper's accuraterip-checksum (check_rip.py). Then --verify against an
# answer made of those checksums, and with one sample of track 2 changed.
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
    "$java" -jar "$jar" --drive "$tmp/image/image.cue" --rip "$tmp/rip" >"$tmp/lines" 2>"$tmp/err" ||
      { fail "$name: --rip"; cat "$tmp/err"; return; }
    python3 "$here/check_rip.py" "$disc" "$tmp/rip" "$tmp/lines" || { fail "$name"; return; }
  fi
  echo "ok: $name"
}

#     name                          disc               style          samples options
image "one BINARY file"             two-tracks         one-file       yes
image "one WAVE file, hidden track" hidden-track       one-file       yes     --wave
image "gaps appended, WAVE"         hidden-track       gaps-appended  yes     --wave
image "pregaps in their own files"  hidden-track       own-pregap     yes
image "PREGAP: gaps left out"       hidden-track       pregap-gone    no      --pregap=150
image "PREGAP, data track"          short-enhanced-cd  pregap-gone    no
image "gaps appended, data track"   short-enhanced-cd  gaps-appended  yes

# --verify of the last image: an answer holding track 1's and 3's v1 checksums and track 2's v2 one, then
# the same image with one sample of track 2 changed.
verify() {
  "$java" -jar "$jar" --drive "$tmp/image/image.cue" --verify --accuraterip-results \
    "$tmp/answer.bin" >"$tmp/verified" 2>"$tmp/err"
}
python3 - "$tmp/lines" "$tmp/answer.bin" <<'PY'
import struct, sys
lines = [line.split() for line in open(sys.argv[1])]
answer = struct.pack("<BIII", len(lines), 0, 0, 0)
for i, words in enumerate(lines):
    answer += struct.pack("<BII", 7, int(words[4 if i % 2 else 2], 16), 0)
open(sys.argv[2], "wb").write(answer)
PY
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
exit $failed
