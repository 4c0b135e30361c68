#!/usr/bin/env bash
# Usage: extras.sh JAVA TOCMATE-JAR DISC.toc FAKE-DRIVE-LIBRARY
# The disc's catalog number, ISRCs and CD-Text through the command line's --all --json, read
# from the file and from the fake drive serving it, each drive behaviour one case of the
# table below; check_disc_json.py holds every value to the disc file's lines. The drive's
# log counts its commands: the table alone 1; with every extra 1 + 1 + one a track + at
# most 2, and a READ CD for each ISRC that follows a track without one (or is the first).
set -u
java=$1 jar=$2 toc=$3 fake=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() {
  echo "$(basename "$toc") $*"
  failed=1
}
check() { python3 "$(dirname "$0")/check_disc_json.py" "--extras=$1" "$tmp/json" "$toc" "$2"; }
confirmations=$(awk '/^isrc /{ has[$2] = 1 }
  END { for (t in has) if (!has[t - 1]) n++; print n + 0 }' "$toc")
audio_tracks=$(grep -c '^[0-9]' <<<"$(sed -e '/^[a-z#]/d' "$toc" | tr -s ' \n\t' '\n' | tail -n +4)")

# name | fake drive settings | how the values must come out
cases=(
  "every extra exact||exact"
  "a drive that repeats the last ISRC it saw|FAKE_CDROM_ISRC=latched|exact"
  "a drive whose ISRC lags a request behind|FAKE_CDROM_ISRC=lagging|exact"
  "damaged Q frames with another ISRC|FAKE_CDROM_Q=damaged|exact"
  "valid bits clear|FAKE_CDROM_SUBCHANNEL=unmarked|textonly"
  "an MS-JIS block without double-byte flags|FAKE_CDROM_CDTEXT=unflagged|exact"
  "texts only for tracks the disc lacks|FAKE_CDROM_CDTEXT_BEYOND=0|textless"
  "Korean CD-Text|FAKE_CDROM_CDTEXT_CODE=81|undecoded"
  "corrupted CD-Text packs|FAKE_CDROM_CDTEXT=corrupt|partial"
  "a drive refusing each extra|FAKE_CDROM_REFUSE=mcn isrc cdtext|none"
  "SG_IO refused|FAKE_CDROM_SG_IO=refuse|catalog"
)

"$java" -jar "$jar" --all --json --drive "$toc" >"$tmp/json" && check exact "$toc" >"$tmp/out" ||
  fail "file: $(cat "$tmp/out")"

for case in "${cases[@]}"; do
  IFS='|' read -r name settings how <<<"$case"
  : >"$tmp/log"
  env ${settings:+"$settings"} FAKE_CDROM_LOG="$tmp/log" \
    bash "$(dirname "$0")/../fakedrive/with_fake_drive.sh" "$fake" "$toc" \
    sh -c '"$0" -jar "$1" --all --json --drive "$TOCMATE_DRIVE" >"$2/json"; echo "$TOCMATE_DRIVE" >"$2/drive"' \
    "$java" "$jar" "$tmp"
  check "$how" "$(cat "$tmp/drive")" >"$tmp/out" || fail "$name: $(cat "$tmp/out")"
  case $how in
    exact)
      subchannel=$(grep -c '^command 42' "$tmp/log")
      toc_reads=$(grep -c '^command 43' "$tmp/log")
      q_reads=$(grep -c '^command be' "$tmp/log")
      if [ -z "$settings" ]; then
        [ "$subchannel" -eq $((1 + audio_tracks)) ] && [ "$toc_reads" -le 3 ] && [ "$q_reads" -eq "$confirmations" ] ||
          fail "$name: $subchannel READ SUB-CHANNEL, $toc_reads READ TOC, $q_reads READ CD"
      fi
      ;;
    partial)
      # Packs were lost: the values are fewer, but none is wrong.
      check exact "$(cat "$tmp/drive")" >/dev/null && fail "$name: no value was lost"
      ;;
  esac
done

# The table alone is one command.
: >"$tmp/log"
FAKE_CDROM_LOG="$tmp/log" bash "$(dirname "$0")/../fakedrive/with_fake_drive.sh" "$fake" "$toc" \
  sh -c '"$0" -jar "$1" --json --drive "$TOCMATE_DRIVE" >/dev/null' "$java" "$jar"
[ "$(cat "$tmp/log")" = "command 43" ] || fail "the table alone: $(cat "$tmp/log")"
[ $failed -eq 0 ] && echo "ok: $(basename "$toc")"
exit $failed
