#!/usr/bin/env bash
# Usage: audio.sh DLL-CHECK JAVA LINUX-JAR
#   (in the Wine prefix whose drive D: is the fake drive, FAKE_CDROM_DEVICE its file and
#   FAKE_CDROM_DISC the disc in it, the fake drive preloaded)
# Every audio track read through the DLL's DiscAudio methods gives the samples and the line
# that the Linux library in the jar gives for the same drive's file through --rip: through
# pass-through's READ CD at read offsets 0 and +667, in burst and secure mode; and where
# pass-through is refused (no write access), through the class driver's raw read. The DLL
# also says the cache it takes the drive to have (8 MB: less than that, as the 2 MB its
# capabilities page gives, is not believed; the raw read has no page), whether the drive gave
# C2 pointers (pass-through does, its form checked by a read of three sectors with C2 against
# one without; the raw read does not) and which sectors they flagged: with a scratched
# sector, that one, read again until right. Secure reads take the cache as 1 MB (the disc is
# too short to push 8 MB out) and send pass-through's FUA drop (READ(12)).
# The disc as a CUE sheet image (make_image.py) gives the DLL the same lines from its files,
# WAVE or FLAC; a damaged FLAC file is refused.
set -u -o pipefail
check=$1 java=$2 jar=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'chmod u+w "$FAKE_CDROM_DEVICE"; rm -rf "$work"' EXIT
failed=0
# Each audio track's end and the audio session's lead-out, in frames, by the rule the
# sample checks hold both libraries to.
spans=$(python3 - "$FAKE_CDROM_DISC" "$here/../jvm" <<'SPANS'
import sys
sys.path.insert(0, sys.argv[2])
from check_rip import LEAD_IN, audio_tracks, read_toc
spans = audio_tracks(read_toc(sys.argv[1]))
readable_end = max(end for _, end in spans.values())
for number, (start, end) in sorted(spans.items()):
    print(number, end + LEAD_IN, readable_end + LEAD_IN)
SPANS
) || exit 1
# rip WAY OFFSET SECURE [SCRATCHED]: every track through the DLL, WAY pass-through or raw,
# against Linux; SCRATCHED a sector of track 2 that reads wrong but every third time, flagged.
rip() {
  local way=$1 offset=$2 secure=$3 scratched=${4:-} options=(--read-offset "$2") status line wave
  local command="command be" settings=(FAKE_CDROM_SCRATCHED="$scratched")
  local c2="cache 8192 c2 1 flagged" cache=0
  [ "$secure" = 1 ] && options+=(--secure --cache-size 1024) && cache=1024
  rm -rf "$work/linux"
  env "${settings[@]}" FAKE_CDROM_READ_OFFSET="$offset" "$java" -jar "$jar" --rip "$work/linux" \
    --drive "$FAKE_CDROM_DEVICE" "${options[@]}" >"$work/lines" 2>"$work/errors" ||
    { echo "FAILED: Linux --rip ${options[*]}: $(cat "$work/errors")"; failed=1; return; }
  if [ "$way" = raw ]; then
    chmod a-w "$FAKE_CDROM_DEVICE"
    settings+=(FAKE_CDROM_SG_IO=writable)
    command="read audio"
    c2="cache 8192 c2 0 flagged"
  fi
  while read -r track end lead_out; do
    what="$way, track $track, offset $offset, secure $secure"
    rm -f "$work/log"
    env "${settings[@]}" FAKE_CDROM_READ_OFFSET="$offset" FAKE_CDROM_LOG="$work/log" \
      wine "$check" --audio D: "$track" "$end" "$lead_out" "$offset" "$secure" \
      "$work/dll.raw" "$cache" >"$work/dll.line" 2>"$work/errors"
    status=$?
    wave=$(printf '%s/linux/track%02d.wav' "$work" "$track")
    line=$(tr -d '\r' <"$work/dll.line" | head -1)
    flagged=$c2
    [ -n "$scratched" ] && [ "$track" = 2 ] && flagged+=" $scratched"
    if [ $status -ne 0 ] || [ -s "$work/errors" ] || ! grep -qxF "$line" "$work/lines" ||
      [ "$(tr -d '\r' <"$work/dll.line" | tail -1)" != "$flagged" ] ||
      ! cmp -s <(tail -c +45 "$wave") "$work/dll.raw" || ! grep -q "^$command" "$work/log" ||
      { [ "$secure" = 1 ] && [ "$way" = pass-through ] && ! grep -q "^command a8" "$work/log"; }; then
      echo "FAILED $what: exit $status, line '$line', Linux's:"
      cat "$work/lines" "$work/errors"
      failed=1
    else
      echo "ok: $what: $line"
    fi
  done <<<"$spans"
  chmod u+w "$FAKE_CDROM_DEVICE"
}

for offset in 0 667; do
  for secure in 0 1; do
    rip pass-through "$offset" "$secure"
  done
done
rip pass-through 0 0 1600  # in track 2
rip raw 667 0

mkdir "$work/image"
rm -rf "$work/linux"
python3 "$here/../jvm/make_image.py" "$FAKE_CDROM_DISC" "$work/image" gaps-appended --wave &&
  "$java" -jar "$jar" --drive "$work/image/image.cue" --rip "$work/linux" >"$work/lines" ||
  { echo "FAILED: the image and its Linux rip"; exit 1; }
# image KIND: every track of the image in $work/image through the DLL, as Linux read it.
image() {
  local sheet
  sheet=$(winepath -w "$work/image/image.cue")
  while read -r track end lead_out; do
    wine "$check" --audio "$sheet" "$track" "$end" "$lead_out" 0 1 "$work/dll.raw" 0 \
      >"$work/dll.line" 2>"$work/errors"
    line=$(tr -d '\r' <"$work/dll.line" | head -1)
    if ! grep -qxF "$line" "$work/lines" || [ -s "$work/errors" ] ||
      ! cmp -s <(tail -c +45 "$(printf '%s/linux/track%02d.wav' "$work" "$track")") "$work/dll.raw"; then
      echo "FAILED $1 image, track $track: line '$line', Linux's:"; cat "$work/lines" "$work/errors"
      failed=1
    else
      echo "ok: $1 image, track $track, secure read once: $line"
    fi
  done <<<"$spans"
}
image WAVE
# The same files as FLAC, made by the reference encoder, named by the sheet; then one of them
# damaged (a byte of a frame flipped): its track is refused, named as damaged.
for wave in "$work"/image/*.wav; do
  flac -s -5 --delete-input-file -o "${wave%.wav}.flac" "$wave" || failed=1
done
sed -i 's/\.wav"/.flac"/' "$work/image/image.cue"
image FLAC
python3 -c "import sys; d = bytearray(open(sys.argv[1], 'rb').read()); d[len(d) // 2] ^= 0x10
open(sys.argv[1], 'wb').write(d)" "$work/image/track02.flac"
read -r track end lead_out < <(sed -n 2p <<<"$spans")
wine "$check" --audio "$(winepath -w "$work/image/image.cue")" "$track" "$end" "$lead_out" 0 1 \
  "$work/dll.raw" 0 >"$work/dll.line" 2>"$work/errors" && failed=1
if ! grep -q "'track02.flac': a damaged FLAC file" "$work/dll.line"; then
  echo "FAILED damaged FLAC image, track $track:"; cat "$work/dll.line" "$work/errors"; failed=1
else
  echo "ok: damaged FLAC image, track $track: $(tr -d '\r' <"$work/dll.line")"
fi
exit $failed
