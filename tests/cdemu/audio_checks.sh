#!/usr/bin/env bash
# Usage: audio_checks.sh GUEST JAR
# The disc's audio in the CDEmu guest (guest.sh): the kernel's sr driver and CDEmu's MMC
# answer READ CD. In one boot, CUE images whose BINARY files hold known audio
# (audio_image.py):
#   - audio.cue: --rip as a user in group cdrom writes every track exactly as its file in the
#     image holds it, and as cdparanoia -Z reads it; each line's checksums are those of
#     whipper's accuraterip-checksum and zlib;
#   - audio.cue again, secure with an answer holding track 2 (shifted.bin, confidence 5):
#     track 2 read once, exact, the log saying it was confirmed by AccurateRip with no test CRC;
#   - enhanced.cue (audio, then data in a second session): the audio tracks likewise, the
#     last up to the audio session's lead-out; the data track refused;
#   - shifted.cue (audio.cue's samples as a drive of offset +667 returns them): --find-offset
#     with an answer built from the unshifted samples finds +667, and a rip of track 2 at it
#     has the answer's checksum (confidence 5).
set -u
guest=$1 jar=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"

make_work "$jar"
python3 "$here/audio_image.py" "$work/images" >"$work/tracks" || exit 1
cat >"$work/steps.sh" <<STEPS
mkdir -m 777 /work/out/audio /work/out/audio-first /work/out/enhanced /work/out/shifted
load images/audio.cue
run audio $guest_java --rip out/audio --drive /dev/sr0
for track in 1 2 3; do
  run paranoia-\$track cdparanoia -Z -q -r -d /dev/sr0 \$track out/audio/paranoia-\$track.raw
done
run audio-first $guest_java --rip out/audio-first --tracks 2 --secure --cache-size 64 \
  --accuraterip-results images/shifted.bin --drive /dev/sr0
unload
load images/enhanced.cue
run enhanced $guest_java --rip out/enhanced --drive /dev/sr0
run enhanced-data $guest_java --rip out/enhanced-data --tracks 3 --drive /dev/sr0
unload
load images/shifted.cue
run offset $guest_java --find-offset --accuraterip-results images/shifted.bin --drive /dev/sr0
run shifted $guest_java --rip out/shifted --tracks 2 --read-offset 667 \
  --accuraterip-results images/shifted.bin --drive /dev/sr0
unload
STEPS

boot_guest "$guest"

out=$work/out
failed=0
fail() {
  echo "$*"
  failed=1
}
for run in audio enhanced paranoia-1 paranoia-2 paranoia-3; do
  [ "$(cat "$out/$run.status")" = 0 ] || fail "$run: exit $(cat "$out/$run.status"): $(cat "$out/$run.err")"
done
[ "$(cat "$out/enhanced-data.status")" = 2 ] &&
  grep -q "track 3 is a data track: it holds no audio" "$out/enhanced-data.err" ||
  fail "the data track was not refused: $(cat "$out/enhanced-data.err")"
[ "$(cat "$out/offset.out")" = "+667 (tracks 1 2 3, confidence 5)" ] ||
  fail "the offset of shifted.cue: $(cat "$out/offset.out" "$out/offset.err")"
grep -q "^02 .* confidence 5$" "$out/shifted.out" ||
  fail "a rip at the found offset: $(cat "$out/shifted.out" "$out/shifted.err")"
[ "$(cat "$out/audio-first.status")" = 0 ] && grep -q "^02 .* confidence 5$" "$out/audio-first.out" &&
  tail -c +45 "$out/audio-first/track02.wav" | cmp -s - "$work/images/audio-02.bin" &&
  grep -q "^  Confirmed: by AccurateRip, confidence 5$" "$out/audio-first/rip.log" &&
  ! grep -q "^  Test CRC:" "$out/audio-first/rip.log" ||
  fail "a secure rip with the answer: $(cat "$out/audio-first.out" "$out/audio-first.err" \
    "$out/audio-first/rip.log")"
while read -r image track file; do
  name=${image%.cue}
  total=$(grep -c "^$image " "$work/tracks")
  wave=$(printf '%s/%s/track%02d.wav' "$out" "$name" "$track")
  copies=("$wave")
  [ "$name" = audio ] && copies+=("$out/audio/paranoia-$track.raw")
  python3 - "$work/images/$file" "$out/$name.out" "$track" "$total" "${copies[@]}" <<'CHECK' ||
import subprocess, sys, zlib
image, lines, track, total, copies = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5:]
wanted = open(image, "rb").read()
wave = copies[0]
for copy in copies:
    data = open(copy, "rb").read()
    data = data[44:] if copy.endswith(".wav") else data
    if data != wanted:
        sys.exit("%s: not the image's %d bytes (%d bytes)" % (copy, len(wanted), len(data)))
peers = [subprocess.run(["accuraterip-checksum", "--accuraterip-v%d" % v, wave, str(track), total],
                        capture_output=True, text=True, check=True).stdout.strip() for v in (1, 2)]
line = "%02d v1 %s v2 %s crc32 %08X reread 0" % (track, peers[0], peers[1], zlib.crc32(wanted))
if line not in open(lines).read().splitlines():
    sys.exit("no line '%s' in %s" % (line, open(lines).read()))
CHECK
    fail "$image track $track"
done <"$work/tracks"
[ $failed -eq 0 ] && echo "ok: every track of both images as the image holds it and cdparanoia" \
  "reads it, checksums as accuraterip-checksum and zlib give them; the data track refused;" \
  "the offset of a shifted image found, and a rip at it matching the answer; a secure rip" \
  "confirmed by AccurateRip from one read"
exit $failed
