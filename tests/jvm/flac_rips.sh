#!/usr/bin/env bash
# Usage: flac_rips.sh JAVA TOCMATE-JAR AUDIO-DISCS-FOLDER FAKE-DRIVE-LIBRARY
# --rip --format flac through the JVM, a case a line, against a WAVE rip of the same disc
# with the same options (whose samples audio_rips.sh and images.sh check against the disc's):
# every FLAC file passes Debian's flac -t, decodes with flac -d to the samples of the WAVE file
# of its name and is at most 1.02 times the size of flac -5 on them; the lines printed are the
# same, the sheet is the WAVE rip's naming the .flac files, and the tags (metaflac's export of
# every file, in name order) are those of flac/CASE.tags.
set -u
java=$1 jar=$2 discs=$3 fake=$4
here=$(dirname "$0")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAILED $*"; failed=1; }

# rips FORMAT DRIVE-OR-SHEET SETTINGS OPTIONS...: a rip into $tmp/FORMAT
rips() {
  local format=$1 drive=$2 settings
  IFS=';' read -ra settings <<<"$3"
  shift 3
  rm -rf "${tmp:?}/$format"
  if [[ $drive == *.cue ]]; then
    "$java" -jar "$jar" --drive "$drive" --rip "$tmp/$format" --format "$format" "$@"
  else
    env "${settings[@]}" bash "$here/../fakedrive/with_fake_drive.sh" "$fake" "$drive" \
      "$java" -jar "$jar" --rip "$tmp/$format" --format "$format" "$@"
  fi >"$tmp/$format.lines" 2>"$tmp/$format.err"
  local status=$?
  # With an answer that lacks a track, the rip is written and its exit status says so.
  [ $status -eq 0 ] || { [ $status -eq 1 ] && [ -n "${unmatched:-}" ] &&
    grep -q "^track $unmatched: no rip in the AccurateRip answer" "$tmp/$format.err"; }
}

# flac_rip CASE DRIVE-OR-SHEET SETTINGS OPTIONS...
flac_rip() {
  local name=$1 drive=$2 settings=$3 file wave
  shift 3
  rips wave "$drive" "$settings" "$@" || { fail "$name: the WAVE rip"; cat "$tmp/wave.err"; return; }
  rips flac "$drive" "$settings" "$@" || { fail "$name: the FLAC rip"; cat "$tmp/flac.err"; return; }
  cmp -s "$tmp/wave.lines" "$tmp/flac.lines" ||
    { fail "$name: other lines"; diff "$tmp/wave.lines" "$tmp/flac.lines"; return; }
  sed 's/\.wav" WAVE/.flac" WAVE/' "$tmp/wave/disc.cue" | cmp -s - "$tmp/flac/disc.cue" ||
    { fail "$name: the sheet is not the WAVE rip's naming .flac files"; cat "$tmp/flac/disc.cue"; return; }
  : >"$tmp/tags"
  for wave in "$tmp"/wave/*.wav; do
    file=$tmp/flac/$(basename "$wave" .wav).flac
    [ -f "$file" ] || { fail "$name: no $(basename "$file")"; return; }
    flac -t -s "$file" 2>"$tmp/test" || { fail "$name: flac -t $(basename "$file")"; cat "$tmp/test"; return; }
    flac -d -s -f --force-raw-format --endian=little --sign=signed -o "$tmp/decoded" "$file"
    tail -c +45 "$wave" | cmp -s - "$tmp/decoded" ||
      { fail "$name: $(basename "$file") decodes to other samples than $(basename "$wave")"; return; }
    flac -5 -s -f -o "$tmp/reference.flac" "$wave"
    local size reference
    size=$(stat -c %s "$file") reference=$(stat -c %s "$tmp/reference.flac")
    [ $((size * 100)) -le $((reference * 102)) ] ||
      { fail "$name: $(basename "$file") takes $size bytes, flac -5 $reference"; return; }
    metaflac --export-tags-to=- "$file" | sed "s/^/$(basename "$file"): /" >>"$tmp/tags"
  done
  diff "$here/flac/$name.tags" "$tmp/tags" || { fail "$name: other tags"; return; }
  echo "ok: $name"
}

layout="FAKE_CDROM_LAYOUT=pregap 2 150 index 2 1800 emphasis 1 both emphasis 3 q"
#        case                 drive or sheet                    fake drive     --rip options
flac_rip hidden-track         "$discs/hidden-track.toc"         "$layout"      --hidden-track
flac_rip gaps-left-out        "$discs/hidden-track.toc"         "$layout"      --cue-style left-out
flac_rip image                "$discs/hidden-track.toc"         "$layout"      --image --read-offset 6
# An AccurateRip answer holding track 1 as ripped (its v2 checksum, confidence 7) and not track 2.
rips wave "$discs/two-tracks.toc" ""
"$java" -jar "$jar" --drive "$discs/two-tracks.toc" --accuraterip >"$tmp/id"
python3 - "$tmp/wave.lines" "$tmp/id" "$tmp/answer.bin" <<'PY'
import struct, sys
v2 = int(open(sys.argv[1]).readline().split()[4], 16)
_, id1, id2, cddb = open(sys.argv[2]).readline().strip().split("-")
answer = struct.pack("<BIII", 2, int(id1, 16), int(id2, 16), int(cddb, 16))
answer += struct.pack("<BII", 7, v2, 0) + struct.pack("<BII", 7, v2 ^ 1, 0)
open(sys.argv[3], "wb").write(answer)
PY
unmatched=2 flac_rip accuraterip "$discs/two-tracks.toc"         ""             \
  --accuraterip-results "$tmp/answer.bin"
# Secure with that answer, track 1's first read wrong once (sector 300 silence): each file is
# started again for a full secure read, the encoder with it.
unmatched=2 flac_rip accuraterip-first "$discs/two-tracks.toc"   FAKE_CDROM_FLAKY=300 \
  --secure --cache-size 64 --accuraterip-results "$tmp/answer.bin"
flac_rip enhanced-cd-offset   "$discs/short-enhanced-cd.toc"    FAKE_CDROM_READ_OFFSET=667 \
  --read-offset 667
# A CUE image (make_image.py): its tracks, and the whole of it as one file.
mkdir "$tmp/image"
python3 "$here/make_image.py" "$discs/short-hidden-track.toc" "$tmp/image" gaps-appended --wave
flac_rip from-image           "$tmp/image/image.cue"            ""             --hidden-track
flac_rip from-image-whole     "$tmp/image/image.cue"            ""             --image
# A track's performer and title from the sheet's CD-Text: its ARTIST and TITLE.
python3 - "$tmp/image/image.cue" <<'PY'
import re, sys
sheet = open(sys.argv[1], newline="").read()
open(sys.argv[1], "w", newline="").write(re.sub(r"(  TRACK 02 AUDIO(\r?\n))",
    r'\1    TITLE "Tune"\2    PERFORMER "Ann Artist"\2', sheet))
PY
flac_rip from-image-performer "$tmp/image/image.cue"            ""

# Refused: --format of another kind, or with a command that writes no audio.
for arguments in "--rip $tmp/x --format ogg" "--verify --accuraterip-results $tmp/answer.bin --format flac"; do
  "$java" -jar "$jar" --drive "$discs/two-tracks.toc" $arguments >/dev/null 2>"$tmp/err"
  status=$?
  [ $status -eq 2 ] && grep -q -- "--format" "$tmp/err" || { fail "refused: $arguments: exit $status"; cat "$tmp/err"; }
done
exit $failed
