#!/usr/bin/env bash
# Usage: flac_images.sh JAVA TOCMATE-JAR AUDIO-DISCS-FOLDER
# CUE images whose audio the reference encoder made FLAC: a WAVE image of a fake drive's disc
# (make_image.py), its files encoded by flac at levels 0, 5 and 8, with and without a seek
# table, the sheet naming the .flac files. Each gives the WAVE image's identifiers, the same
# --verify (against an answer made of the WAVE rip's checksums) and --rip the same files.
# Then files that are not whole CD audio: damaged (a byte of a frame flipped), cut, 24-bit,
# 48 kHz and mono, each refused by --verify naming the file and what it is, none of the
# tracks from the one whose file it is on confirmed.
set -u
java=$1 jar=$2 discs=$3
here=$(dirname "$0")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAILED $*"; failed=1; }
tocmate() { "$java" -jar "$jar" --drive "$1/image.cue" "${@:2}"; }

# What the WAVE image of disc $1 in style $2 gives, in $tmp/wave-*.
wave_image() {
  rm -rf "$tmp/wave" && mkdir "$tmp/wave"
  python3 "$here/make_image.py" "$discs/$1.toc" "$tmp/wave" "$2" --wave
  tocmate "$tmp/wave" --accuraterip >"$tmp/wave-ids"
  tocmate "$tmp/wave" --musicbrainz >>"$tmp/wave-ids"
  rm -rf "$tmp/wave-rip"
  tocmate "$tmp/wave" --rip "$tmp/wave-rip" >"$tmp/wave-lines" || fail "$1: WAVE --rip"
  python3 "$here/make_answer.py" "$tmp/wave-lines" "$tmp/wave-ids" "$discs/$1.toc" \
    "$tmp/answer.bin"
  tocmate "$tmp/wave" --verify --accuraterip-results "$tmp/answer.bin" >"$tmp/wave-verified"
  [ "$(grep -c ' confidence 7$' "$tmp/wave-verified")" -gt 0 ] || fail "$1: WAVE --verify"
}

# The WAVE image's files encoded by flac with options $@, in $tmp/flac.
flac_image() {
  rm -rf "$tmp/flac" && mkdir "$tmp/flac"
  cp "$tmp"/wave/*.bin "$tmp/flac" 2>/dev/null
  local wave
  for wave in "$tmp"/wave/*.wav; do
    flac -s "$@" -o "$tmp/flac/$(basename "${wave%.wav}").flac" "$wave" || fail "flac $*"
  done
  sed 's/\.wav"/.flac"/' "$tmp/wave/image.cue" >"$tmp/flac/image.cue"
}

# same NAME OPTIONS...: the FLAC image gives what the WAVE one gave.
same() {
  local name=$1
  shift
  flac_image "$@"
  { tocmate "$tmp/flac" --accuraterip && tocmate "$tmp/flac" --musicbrainz; } >"$tmp/ids" 2>&1
  cmp -s "$tmp/ids" "$tmp/wave-ids" || { fail "$name: identifiers"; diff "$tmp/ids" "$tmp/wave-ids"; return; }
  tocmate "$tmp/flac" --verify --accuraterip-results "$tmp/answer.bin" >"$tmp/verified" 2>&1
  cmp -s "$tmp/verified" "$tmp/wave-verified" ||
    { fail "$name: --verify"; diff "$tmp/verified" "$tmp/wave-verified"; return; }
  rm -rf "$tmp/rip"
  tocmate "$tmp/flac" --rip "$tmp/rip" >"$tmp/lines" 2>&1 || { fail "$name: --rip"; cat "$tmp/lines"; return; }
  cmp -s "$tmp/lines" "$tmp/wave-lines" || { fail "$name: --rip's checksums"; return; }
  local track
  for track in "$tmp"/wave-rip/*.wav; do
    cmp -s "$track" "$tmp/rip/$(basename "$track")" || { fail "$name: $(basename "$track")"; return; }
  done
  echo "ok: $name"
}

# refused NAME SAYS CHANGE: the FLAC image with the file of track 2 changed by the shell
# command CHANGE (on $file) is refused by --verify, naming it and saying SAYS.
refused() {
  local name=$1 says=$2 file=$tmp/flac/track02.flac
  flac_image -5
  eval "$3"
  tocmate "$tmp/flac" --verify --accuraterip-results "$tmp/answer.bin" >"$tmp/verified" 2>"$tmp/err"
  local status=$?
  if [ "$status" -eq 0 ] || ! grep -q "'track02.flac': .*$says" "$tmp/err" ||
    grep -q '^0[2-9] .* confidence [1-9]' "$tmp/verified"; then
    fail "$name: exit $status"; cat "$tmp/verified" "$tmp/err"
  else
    echo "ok: $name refused: $(head -1 "$tmp/err")"
  fi
}
# recoded SOX-OPTIONS: track 2's samples made another kind of audio.
recoded() {
  sox -V1 "$tmp/wave/track02.wav" "$@" "$tmp/other.wav" &&
    flac -s -f -o "$file" "$tmp/other.wav" 2>/dev/null
}

wave_image short-enhanced-cd gaps-appended
same "level 0" -0
same "level 5" -5
same "level 8" -8
same "level 8, no seek table" -8 --no-seektable
same "level 5, seek point every frame" -5 -S 4096x
wave_image short-hidden-track one-file
same "one file, level 5" -5
same "one file, level 0, no seek table" -0 --no-seektable

wave_image short-enhanced-cd gaps-appended
refused "a byte of a frame flipped" "a damaged FLAC file: a frame near sample" \
  'python3 -c "import sys; d = bytearray(open(sys.argv[1], \"rb\").read()); d[len(d) // 2] ^= 0x10; open(sys.argv[1], \"wb\").write(d)" "$file"'
refused "cut" "cut short" 'truncate -s -5000 "$file"'
refused "24-bit" "2 channels of 24-bit samples at 44100 Hz, not CD audio" 'recoded -b 24'
refused "48 kHz" "16-bit samples at 48000 Hz, not CD audio" 'recoded -r 48000'
refused "mono" "1 channels of 16-bit samples at 44100 Hz, not CD audio" 'recoded -c 1'
exit $failed
