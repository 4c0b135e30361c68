#!/usr/bin/env bash
# Usage: install.sh BUILD-FOLDER JAVA DISC.toc
# cmake --install puts the library, the jar and the README in the usual places of a prefix,
# and the installed jar reads a disc on its own.
set -u
build=$1 java=$2 disc=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || exit 1
failed=0
for file in lib/libTocmate.so share/java/tocmate.jar share/doc/tocmate/README.md; do
  [ -f "$prefix/$file" ] || { echo "not installed: $file"; failed=1; }
done
expected=$(sed -n 's/^# query //p' "$disc")
first_line=$(TOCMATE_DRIVE=$disc "$java" -jar "$prefix/share/java/tocmate.jar" | head -1)
[ "$first_line" = "$expected" ] || { echo "installed jar: got [$first_line]"; failed=1; }
[ $failed -eq 0 ] && echo "ok: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"
exit $failed
