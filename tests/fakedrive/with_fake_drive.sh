#!/usr/bin/env bash
# Usage: with_fake_drive.sh FAKE-LIBRARY|- DISC.toc COMMAND...
# Runs the command with a simulated CD drive holding the disc: TOCMATE_DRIVE names the
# drive's device file, and the FAKE_CDROM_* settings already in the environment apply. The
# drive answers the disc's catalog number, ISRCs and CD-Text from the file's lines too.
# With "-", the command preloads the fake drive library itself (as a program run by
# qemu-user must: the emulator passes it on with -E LD_PRELOAD=...).
set -eu
fake=$1 toc=$2
shift 2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
: >"$folder/sr0"
if [ "$fake" != - ]; then export LD_PRELOAD=$fake${LD_PRELOAD:+:$LD_PRELOAD}; fi
export FAKE_CDROM_DEVICE=$folder/sr0
# The table's numbers; the lines of what the disc carries besides are the drive's to read.
FAKE_CDROM_TOC=$(sed -e '/^[[:space:]]*\(catalog\|isrc\|cdtext\)/d' -e 's/#.*//' "$toc" |
  tr -s ' \n\t' ' ')
FAKE_CDROM_DISC=$(realpath "$toc")
export FAKE_CDROM_TOC FAKE_CDROM_DISC
export TOCMATE_DRIVE=$folder/sr0
"$@"
