#!/usr/bin/env bash
# Usage: exports.sh LIBRARY
# The library's dynamic symbol table defines the native methods and nothing else.
set -u
defined=$(nm -D --defined-only "$1" | awk '{print $NF}' | sort)
expected=$(printf '%s\n' Java_cd_CommandLine_readBothTexts Java_cd_Disc_readTableOfContents \
  Java_cd_NativeLibrary_libraryVersion Java_cd_Tocmate_getCDDBNumbers Java_cd_Tocmate_getTrackLengths)
if [ "$defined" != "$expected" ]; then
  printf 'expected only:\n%s\ngot:\n%s\n' "$expected" "$defined"
  exit 1
fi
echo "ok: $defined"
