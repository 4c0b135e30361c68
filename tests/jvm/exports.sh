#!/usr/bin/env bash
# Usage: exports.sh LIBRARY JNI-HEADERS-FOLDER
# The library's dynamic symbol table defines the native methods that the classes declare
# (those of the JNI headers javac made for them) and nothing else.
set -u
defined=$(readelf -W --dyn-syms "$1" |
  awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && $5 != "LOCAL" && $8 != "" { sub(/@.*/, "", $8); print $8 }' |
  sort)
expected=$(cat "$2"/*.h | grep -o '\bJava_cd_[A-Za-z0-9_]*' | sort -u)
if [ -z "$expected" ] || [ "$defined" != "$expected" ]; then
  printf 'expected only:\n%s\ngot:\n%s\n' "$expected" "$defined"
  exit 1
fi
echo "ok:" $defined
