#!/usr/bin/env bash
# Usage: jar_libraries.sh JAR-TOOL JAR JNI-HEADERS-FOLDER PLATFORM=GLIBC-FLOOR...
# Every Linux library in the jar loads on its platform's glibc floor and any later glibc: it
# needs no glibc symbol version above the floor and no library but glibc's C and maths
# libraries and the dynamic loader (the C++ runtime is linked in), and exports only the
# native methods.
set -u
jar_tool=$1 jar=$(realpath "$2") headers=$3
shift 3
declare -A floors
for floor in "$@"; do floors[${floor%%=*}]=${floor#*=}; done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
natives=cd/tocmate/natives
(cd "$tmp" && "$jar_tool" --extract --file "$jar" "$natives") || exit 1
failed=0 checked=0
fail() { echo "$entry: $*"; failed=1; }
while read -r entry; do
  platform=${entry%%/*} library=$tmp/$natives/$entry
  [[ $platform == linux-* ]] || continue
  checked=$((checked + 1))
  floor=${floors[$platform]:-}
  [ -n "$floor" ] || { fail "no glibc floor is set for $platform"; continue; }
  highest=$(readelf -W -V "$library" | sed -n 's/.*Name: GLIBC_\([0-9.]*\) .*/\1/p' | sort -V | tail -1)
  if [ -z "$highest" ]; then
    fail "no glibc symbol versions found"
  elif [ "$(printf '%s\n' "$highest" "$floor" | sort -V | tail -1)" != "$floor" ]; then
    fail "needs GLIBC_$highest, above the floor $floor, for:" \
      $(readelf -W --dyn-syms "$library" | grep -o "[^ ]*@GLIBC_$highest\b")
  fi
  needed=$(readelf -W -d "$library" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  for name in $needed; do
    [[ $name == libc.so.6 || $name == libm.so.6 || $name == ld-linux-*.so.* ]] || fail "needs $name"
  done
  bash "$(dirname "$0")/exports.sh" "$library" "$headers" >"$tmp/exports" || fail "$(cat "$tmp/exports")"
  echo "$entry: GLIBC_$highest at most (floor $floor); needs" $needed
done <"$tmp/$natives/platforms"
[ $checked -gt 0 ] || { echo "no Linux library in $jar"; failed=1; }
exit $failed
