#!/usr/bin/env bash
# Usage: jar_library.sh JAR-TOOL TOCMATE-JAR DLL-CHECK DISC.toc   (in the Wine prefix with a drive)
# The Windows library that the jar carries, taken out of the jar into a folder of its
# own with the test program, loads under Wine and reads the disc.
set -u
jar_tool=$1 jar=$2 check=$3 disc=$4
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
dll=cd/tocmate/natives/windows-x86_64/Tocmate.dll
(cd "$folder" && "$jar_tool" --extract --file "$jar" "$dll") || exit 1
cp "$folder/$dll" "$check" "$folder/" || exit 1
bash "$(dirname "$0")/../jvm/disc_texts.sh" "$disc" wine "$folder/$(basename "$check")"
