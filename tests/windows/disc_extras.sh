#!/usr/bin/env bash
# Usage: disc_extras.sh DLL-CHECK read|misbehaving|drives|no-drives
#   (in the Wine prefix whose drive D: is the fake drive, FAKE_CDROM_DEVICE its file and
#   FAKE_CDROM_DISC the sample disc in it)
#   read     the extras the disc carries, read through the DLL as Disc reads them, equal the
#            disc file's own lines (those the Linux library is held to), and the drive
#            commands each read costs, as the fake drive logs them
#   misbehaving  the class driver's answers where pass-through is refused; a disc changed
#            between the table and the extras
#   drives   CdDrive's list
#   no-drives  the same where there is no CD drive (in the prefix without one)
# Nothing goes to standard error.
set -u -o pipefail
check=$1 cases=$2
here=$(dirname "$0")
work=$(mktemp -d)
trap 'if [ -n "${FAKE_CDROM_DEVICE:-}" ]; then chmod u+w "$FAKE_CDROM_DEVICE"; fi; rm -rf "$work"' EXIT
failed=0

# The lines of DISC.toc that the extras bits ask for (1 catalog, 2 isrc, 4 cdtext).
lines_asked() {
  local pattern=""
  (($2 & 1)) && pattern+='|catalog'
  (($2 & 2)) && pattern+='|isrc'
  (($2 & 4)) && pattern+='|cdtext'
  [ -n "$pattern" ] && grep -E "^(${pattern#|})[ -]" "$1"
  true
}

# The log's drive commands as "what×count", sorted: SCSI commands by opcode, and the CD-ROM
# ioctls that reach the drive through the class driver's requests (the table's own aside).
commands() {
  grep -E '^(command|mcn|subchannel)' "$1" 2>/dev/null | sort | uniq -c |
    awk '{ count = $1; $1 = ""; sub(/^ /, ""); printf "%s%s×%d", sep, $0, count; sep = ", " }'
}

# report WHAT GOT-FILE EXPECTED-FILE EXPECTED-COMMANDS STATUS ERRORS-FILE
report() {
  local what=$1 got=$2 expected=$3 want=$4 status=$5 errors=$6 have
  have=$(commands "$work/log")
  if ! python3 "$here/same_lines.py" "$expected" "$got" >"$work/differences" ||
    [ "$have" != "$want" ] || [ "$status" -ne 0 ] || [ -s "$errors" ]; then
    printf 'FAILED %s (exit %d)\n%s\ncommands: %s\n   wanted: %s\n%s\n' "$what" "$status" \
      "$(cat "$work/differences")" "$have" "$want" "$(cat "$errors")"
    failed=1
  else
    echo "ok: $what: $have"
  fi
}

# extras all|none EXTRAS COMMANDS [SETTING=VALUE...]: the disc's lines that the extras bits
# ask for, or none of them
extras() {
  local expecting=$1 bits=$2 want=$3 status
  shift 3
  rm -f "$work/log"
  env "$@" FAKE_CDROM_LOG="$work/log" wine "$check" --extras D: "$bits" \
    >"$work/output" 2>"$work/errors"
  status=$?
  # The table (its first line) as the disc has it, then the extras.
  tr -d '\r' <"$work/output" | grep -Ev '^data tracks:' >"$work/got"
  echo $FAKE_CDROM_TOC >"$work/expected"
  if [ "$expecting" = all ]; then lines_asked "$FAKE_CDROM_DISC" "$bits" >>"$work/expected"; fi
  report "$disc, extras $bits${*:+ ($*)}" "$work/got" "$work/expected" "$want" "$status" \
    "$work/errors"
}

# fails "REASON|drive|message" COMMANDS [SETTING=VALUE...]: the read with every extra fails
fails() {
  local expected=$1 want=$2 status
  shift 2
  rm -f "$work/log"
  env "$@" FAKE_CDROM_LOG="$work/log" wine "$check" --extras D: 7 >"$work/output" \
    2>"$work/errors"
  status=$?
  printf '%s\n' "$expected" >"$work/expected"
  tr -d '\r' <"$work/output" >"$work/got"
  report "fails${*:+ ($*)}" "$work/got" "$work/expected" "$want" $((status != 1)) "$work/errors"
}

# drives EXPECTED-LINE COMMANDS [SETTING=VALUE...]
drives() {
  local expected=$1 want=$2 status
  shift 2
  rm -f "$work/log"
  env "$@" FAKE_CDROM_LOG="$work/log" wine "$check" --drives >"$work/output" 2>"$work/errors"
  status=$?
  printf '%s\n' "$expected" >"$work/expected"
  tr -d '\r' <"$work/output" >"$work/got"
  report "drives${*:+ ($*)}" "$work/got" "$work/expected" "$want" "$status" "$work/errors"
}

tracks=$(echo ${FAKE_CDROM_TOC:-} | awk '{ print $2 - $1 + 1 }')
disc=$(basename "${FAKE_CDROM_DISC:-}" .toc)
case $cases in
  read)
    # Through pass-through: 1 READ SUB-CHANNEL for the catalog number, 1 an audio track
    # for its ISRC, READ TOC format 5 twice for CD-Text (its length, then all of it).
    extras all 7 "command 42×$((1 + tracks)), command 43×2"
    extras all 1 "command 42×1"
    extras all 2 "command 42×$tracks"
    extras all 4 "command 43×2"
    extras none 0 ""
    # A drive that answers with the last ISRC it saw: once two tracks alike show it, each
    # ISRC is taken from its track's own Q sub-channel (READ CD) instead.
    extras all 2 "command 42×2, command be×$tracks" FAKE_CDROM_ISRC=latched
    ;;
  misbehaving)
    # No write access to the drive, as Windows refuses pass-through then: the class
    # driver's requests, whose answers under Wine hold no valid value. The catalog number
    # it hands over (read from the disc: mcn) is marked invalid and gives none; ISRCs it
    # never fills in; CD-Text it does not read.
    chmod a-w "$FAKE_CDROM_DEVICE"
    extras none 7 "mcn×1, subchannel×$((1 + tracks))" FAKE_CDROM_SG_IO=writable
    drives "D:|||" "" FAKE_CDROM_SG_IO=writable
    chmod u+w "$FAKE_CDROM_DEVICE"
    # The drive's sense data comes through pass-through: the disc changed since the table
    # was read, and the read fails rather than mix two discs.
    echo 1 >"$work/attentions"
    fails "READ_FAILED|D:|drive D: reading the catalog number: unit attention (sense 6/28/00)" \
      "command 42×1" FAKE_CDROM_UNIT_ATTENTION="$work/attentions"
    ;;
  drives)
    # The fake drive's INQUIRY strings, disc or not; a drive that takes no commands is
    # still listed.
    drives "D:|TOCMATE|FAKE CD DRIVE|1.00" "command 12×1"
    drives "D:|TOCMATE|FAKE CD DRIVE|1.00" "command 12×1" FAKE_CDROM_STATE=no-disc
    drives "D:|||" "" FAKE_CDROM_SG_IO=refuse
    ;;
  no-drives)
    drives "" ""
    ;;
esac
exit $failed
