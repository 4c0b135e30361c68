#!/usr/bin/env bash
# Usage: disc_extras.sh DLL-CHECK read|misbehaving|drives|no-drives
#   (in the Wine prefix whose drive D: is the fake drive, FAKE_CDROM_DEVICE its file and
#   FAKE_CDROM_DISC the sample disc in it; no-drives: in the prefix without a CD drive)
#   read         the extras the disc carries, read through the DLL as Disc reads them,
#                equal the disc file's own lines (those the Linux library is held to), and
#                the drive commands each read costs, as the fake drive logs them
#   misbehaving  pass-through refused; a disc changed between the table and the extras
#   drives       CdDrive's list; no-drives: the same without a CD drive
# Nothing goes to standard error.
set -u -o pipefail
check=$1 cases=$2
here=$(dirname "$0")
work=$(mktemp -d)
trap 'if [ -n "${FAKE_CDROM_DEVICE:-}" ]; then chmod u+w "$FAKE_CDROM_DEVICE"; fi; rm -rf "$work"' EXIT
failed=0

# expect WHAT EXPECTED-LINES COMMANDS EXIT [SETTING=VALUE...] -- DLL-CHECK-ARGUMENT...
# The lines count whatever their order and however a text's bytes are written; the commands
# are the log's SCSI commands by opcode and the CD-ROM ioctls that the class driver's
# requests send (those of the table aside), as "what×count".
expect() {
  local what=$1 expected=$2 want=$3 exit=$4 settings=() status have
  shift 4
  while [ "$1" != -- ]; do settings+=("$1") && shift; done
  shift
  rm -f "$work/log"
  env "${settings[@]}" FAKE_CDROM_LOG="$work/log" wine "$check" "$@" >"$work/output" \
    2>"$work/errors"
  status=$?
  printf '%s\n' "$expected" >"$work/expected"
  tr -d '\r' <"$work/output" | grep -v '^data tracks:' >"$work/got"
  have=$(grep -E '^(command|mcn|subchannel)' "$work/log" 2>/dev/null | sort | uniq -c |
    awk '{ count = $1; $1 = ""; printf "%s%s×%d", sep, substr($0, 2), count; sep = ", " }')
  if ! python3 "$here/same_lines.py" "$work/expected" "$work/got" >"$work/differences" ||
    [ "$have" != "$want" ] || [ "$status" -ne "$exit" ] || [ -s "$work/errors" ]; then
    printf 'FAILED %s %s (exit %d)\n%s\ncommands: %s\n   wanted: %s\n%s\n' "$what" \
      "${settings[*]}" "$status" "$(cat "$work/differences")" "$have" "$want" \
      "$(cat "$work/errors")"
    failed=1
  else
    echo "ok: $what ${settings[*]}: $have"
  fi
}

# extras BITS all|none COMMANDS [SETTING=VALUE...]: the table, then the disc's lines that
# the bits ask for (1 catalog, 2 isrc, 4 cdtext), or none of them
extras() {
  local bits=$1 lines pattern=""
  lines=$(echo $FAKE_CDROM_TOC)
  (($bits & 1)) && pattern+='|catalog'
  (($bits & 2)) && pattern+='|isrc'
  (($bits & 4)) && pattern+='|cdtext'
  if [ "$2" = all ] && [ -n "$pattern" ]; then
    lines+=$'\n'$(grep -E "^(${pattern#|})[ -]" "$FAKE_CDROM_DISC")
  fi
  expect "extras $bits" "$lines" "$3" 0 "${@:4}" -- --extras D: "$bits"
}

tracks=$(echo ${FAKE_CDROM_TOC:-} | awk '{ print $2 - $1 + 1 }')
# The ISRCs confirmed from their track's Q sub-channel: each that follows a track without one.
confirmations=$(awk '/^isrc /{ has[$2] = 1 }
  END { for (t in has) if (!has[t - 1]) n++; print n + 0 }' "${FAKE_CDROM_DISC:-/dev/null}")
case $cases in
  read)
    # Through pass-through: 1 READ SUB-CHANNEL for the catalog number, 1 an audio track
    # for its ISRC and a READ CD for each to confirm, READ TOC format 5 twice for CD-Text
    # (its length, then all of it).
    extras 7 all "command 42×$((1 + tracks)), command 43×2, command be×$confirmations"
    extras 1 all "command 42×1"
    extras 2 all "command 42×$tracks, command be×$confirmations"
    extras 4 all "command 43×2"
    extras 0 all ""
    # A drive that answers with the last ISRC it saw: once two tracks alike show it, or an
    # answer its track's own Q sub-channel (READ CD) does not bear out, each ISRC is taken
    # from that instead.
    extras 2 all "command 42×2, command be×$tracks" FAKE_CDROM_ISRC=latched
    extras 2 all "command 42×2, command be×$tracks" FAKE_CDROM_ISRC=lagging
    ;;
  misbehaving)
    # No write access to the drive, as Windows refuses pass-through then: the class
    # driver's requests, whose answers under Wine hold no valid value. The catalog number
    # it hands over (read from the disc: mcn) is marked invalid and gives none; ISRCs,
    # which nothing could confirm, are not asked for; CD-Text it does not read. The drive is
    # listed by its letter alone.
    chmod a-w "$FAKE_CDROM_DEVICE"
    extras 7 none "mcn×1, subchannel×1" FAKE_CDROM_SG_IO=writable
    expect drives "D:|||" "" 0 FAKE_CDROM_SG_IO=writable -- --drives
    chmod u+w "$FAKE_CDROM_DEVICE"
    # The drive's sense data comes through pass-through: the disc changed since the table
    # was read, and the read fails rather than mix two discs.
    echo 1 >"$work/attentions"
    expect "disc changed" \
      "READ_FAILED|D:|drive D: reading the catalog number: unit attention (sense 6/28/00)" \
      "command 42×1" 1 FAKE_CDROM_UNIT_ATTENTION="$work/attentions" -- --extras D: 7
    ;;
  drives)
    # The fake drive's INQUIRY strings, disc or not; a drive that takes no commands is
    # still listed.
    expect drives "D:|TOCMATE|FAKE CD DRIVE|1.00" "command 12×1" 0 -- --drives
    expect drives "D:|TOCMATE|FAKE CD DRIVE|1.00" "command 12×1" 0 FAKE_CDROM_STATE=no-disc \
      -- --drives
    expect drives "D:|||" "" 0 FAKE_CDROM_SG_IO=refuse -- --drives
    # An INQUIRY reply cut short names nothing rather than what lies past its end.
    expect drives "D:|||" "command 12×1" 0 FAKE_CDROM_TRANSFER=20 -- --drives
    ;;
  no-drives)
    expect drives "" "" 0 -- --drives
    ;;
esac
exit $failed
