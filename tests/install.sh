#!/usr/bin/env bash
# Usage: install.sh BUILD-FOLDER JAVA DISC.toc VERSION
# cmake --install puts the stripped library, the versioned jar, the README, the changelog,
# the documentation's pages and the licence in the usual places of a prefix, and the
# installed jar reads a disc on its own.
set -u
build=$1 java=$2 disc=$3 version=$4
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || exit 1
failed=0
jar=share/java/tocmate-$version.jar
for file in lib/libTocmate.so "$jar" share/doc/tocmate/{README.md,CHANGELOG.md,LICENSE} \
  share/doc/tocmate/docs/java-api.md; do
  [ -f "$prefix/$file" ] || { echo "not installed: $file"; failed=1; }
done
if readelf -W -S "$prefix/lib/libTocmate.so" | grep -qE '\.symtab|\.debug_'; then
  echo "the installed library is not stripped"
  failed=1
fi
expected=$(sed -n 's/^# query //p' "$disc")
first_line=$(TOCMATE_DRIVE=$disc "$java" -jar "$prefix/$jar" | head -1)
[ "$first_line" = "$expected" ] || { echo "installed jar: got [$first_line]"; failed=1; }
[ $failed -eq 0 ] && echo "ok: $(cd "$prefix" && find . -type f | sort | tr '\n' ' ')"
exit $failed
