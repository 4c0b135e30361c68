#!/usr/bin/env bash
# Usage: with_fake_drive.sh FAKE-LIBRARY DISC.toc COMMAND...
# Runs the command with a simulated CD drive holding the disc: TOCMATE_DRIVE names the
# drive's device file, and the FAKE_CDROM_* settings already in the environment apply.
set -eu
fake=$1 toc=$2
shift 2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
: >"$folder/sr0"
export LD_PRELOAD=$fake${LD_PRELOAD:+:$LD_PRELOAD}
export FAKE_CDROM_DEVICE=$folder/sr0
FAKE_CDROM_TOC=$(sed 's/#.*//' "$toc" | tr -s ' \n\t' ' ')
export FAKE_CDROM_TOC
export TOCMATE_DRIVE=$folder/sr0
"$@"
