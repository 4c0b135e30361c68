#!/usr/bin/env bash
# Usage: images.sh JAVA TOCMATE-JAR AUDIO-DISCS-FOLDER FAKE-DRIVE-LIBRARY
# CUE sheet images of the fake drive's discs (make_image.py writes every sample the drive
# serves), a case a line: --drive image.cue gives the MusicBrainz, freedb and AccurateRip
# identifiers of the same disc in the fake drive, and its --rip the disc's samples with the
# checksums of whipper's accuraterip-checksum (check_rip.py), and the CUE sheet it writes,
# read back, the image's layout. Then --verify against an
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
    "$java" -jar "$jar" --drive "$tmp/image/image.cue" --rip "$tmp/rip" --hidden-track \
      >"$tmp/lines" 2>"$tmp/err" || { fail "$name: --rip"; cat "$tmp/err"; return; }
    local hidden=
    [ -e "$tmp/rip/track00.wav" ] && hidden=--hidden
    python3 "$here/check_rip.py" "$disc" "$tmp/rip" "$tmp/lines" $hidden || { fail "$name"; return; }
    # The sheet the rip wrote, read back, lays the disc out as the image's own did (its
    # audio tracks: a rip holds no data track).
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
exit $failed
