#!/usr/bin/env bash
# Usage: watch.sh DLL-CHECK commands|refused DISCS
#   (in the Wine prefix whose drive D: is the fake drive, FAKE_CDROM_DEVICE its file)
# The DLL's watch of D: reports each change of the fake drive's medium once, in order, as
# the Linux library does: a disc at the start, its removal, another after spinning up; an
# eject by the program and the tray closed again. commands: through pass-through;
# refused: pass-through refused (no write access), Windows' media check and the storage
# driver's eject and load requests instead.
set -u
check=$1 case=$2 discs=$3
work=$(mktemp -d)
trap 'chmod u+w "$FAKE_CDROM_DEVICE"; rm -rf "$work"' EXIT
table_of() { sed -e '/^[[:space:]]*\(catalog\|isrc\|cdtext\)/d' -e 's/#.*//' "$discs/$1.toc" | tr -s ' \n\t' ' ' | sed 's/^ //; s/ $//'; }
# Changes a few seconds apart, as Wine's start takes a second or two.
{ echo "0 disc $(table_of 22-tracks)"; echo "5 tray-open"; echo "7 becoming-ready"
  echo "8 disc $(table_of six-tracks)"; } >"$work/schedule"
export FAKE_CDROM_MEDIUM=$work/schedule FAKE_CDROM_LOG=$work/log
if [ "$case" = refused ]; then
  chmod a-w "$FAKE_CDROM_DEVICE"
  export FAKE_CDROM_SG_IO=writable
fi
wine "$check" --watch D: 15 eject@11 close@12 >"$work/output" 2>"$work/errors"
status=$?
expected="inserted $(table_of 22-tracks)
removed D:
inserted $(table_of six-tracks)
removed D:
inserted $(table_of six-tracks)"
failed=0
if [ $status -ne 0 ] || [ "$(tr -d '\r' <"$work/output")" != "$expected" ] || [ -s "$work/errors" ]; then
  printf 'FAILED (exit %d)\nexpected:\n%s\nreported:\n%s\n%s\n' $status "$expected" \
    "$(cat "$work/output")" "$(cat "$work/errors")"
  failed=1
fi
# The commands that reached the drive: media events and readiness through pass-through,
# the kernel's drive status where Wine asks it for Windows' media check.
commands=$(grep -o '^command [0-9a-f]*\|^drive status\|^eject\|^close tray' "$work/log" |
  sort | uniq -c | awk '{ c = $1; $1 = ""; printf "%s%s×%d", s, substr($0, 2), c; s = ", " }')
case $case in
  commands) want='command 1b' ;;
  refused) want='eject×1' ;;
esac
if ! grep -q "$want" <<<"$commands"; then
  echo "FAILED: the tray's command ($want) never reached the drive: $commands"
  failed=1
fi
[ $failed -eq 0 ] && echo "ok: $case: $commands"
exit $failed
