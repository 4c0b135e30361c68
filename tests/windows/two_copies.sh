#!/usr/bin/env bash
# Usage: two_copies.sh TOCMATE-DLL TWO-COPIES-PROGRAM DISC.toc   (in the Wine prefix with a drive)
# Two copies of the DLL, in two folders as two class loaders extract them, loaded into one
# process: 4 threads make 400 calls through both, and every call must get the disc's texts.
set -u
dll=$1 program=$2 toc=$3
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/first" "$folder/second"
cp "$dll" "$folder/first/" && cp "$dll" "$folder/second/" && cp "$program" "$folder/" || exit 1
cd "$folder" || exit 1
name=$(basename "$dll")
wine "./$(basename "$program")" "first\\$name" "second\\$name" 4 100 \
  "$(sed -n 's/^# query //p' "$toc")" "$(sed -n 's/^# lengths //p' "$toc")"
