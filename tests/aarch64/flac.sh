#!/usr/bin/env bash
# Usage: flac.sh JAR HOST-JAR DISC.toc HOST-JAVA ARM64-JAVA...
# FLAC written by the aarch64 library under qemu: a CUE image of the disc (make_image.py)
# ripped with --format flac by the arm64 Java runtime and by this machine's, the same lines,
# sheet and tags, every file passing Debian's flac -t and decoding to the same samples.
set -u
jar=$1 host_jar=$2 disc=$3 host_java=$4
shift 4
here=$(dirname "$0")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 "$here/../jvm/make_image.py" "$disc" "$tmp" gaps-appended --wave
for side in host arm64; do
  if [ $side = host ]; then run=("$host_java" -jar "$host_jar"); else run=("$@" -jar "$jar"); fi
  "${run[@]}" --drive "$tmp/image.cue" --rip "$tmp/$side" --format flac \
    >"$tmp/$side.lines" 2>"$tmp/$side.err" || { echo "FAILED: the $side rip"; cat "$tmp/$side.err"; exit 1; }
done
cmp "$tmp/host.lines" "$tmp/arm64.lines" && cmp "$tmp/host/disc.cue" "$tmp/arm64/disc.cue" || exit 1
for file in "$tmp"/host/*.flac; do
  name=$(basename "$file")
  flac -t -s "$tmp/arm64/$name" || { echo "FAILED: flac -t $name"; exit 1; }
  for side in host arm64; do
    flac -d -s -f --force-raw-format --endian=little --sign=signed -o "$tmp/$side.raw" "$tmp/$side/$name"
    metaflac --export-tags-to="$tmp/$side.tags" "$tmp/$side/$name"
  done
  cmp -s "$tmp/host.raw" "$tmp/arm64.raw" || { echo "FAILED: $name decodes to other samples"; exit 1; }
  cmp "$tmp/host.tags" "$tmp/arm64.tags" || exit 1
done
echo "ok: $(ls "$tmp/arm64" | tr '\n' ' ')"
