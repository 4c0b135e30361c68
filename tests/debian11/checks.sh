#!/usr/bin/env bash
# Usage: checks.sh CASE ROOT JAR DISCS-FOLDER TESTS-JAR
# The jar in the Debian 11 root (root.sh): the library of an older glibc and Java 11 run it.
#   discs        java -jar gives the texts of every sample disc, named by TOCMATE_DRIVE,
#                whose tracks start at 1 (Tocmate's MCI commands ask for track 1)
#   load         the load test's threads and calls, every text right, memory flat
#   no_platform  a platform the jar has no library for fails with its message
set -u
case_name=$1 root=$2 jar=$3 discs=$4 tests_jar=$5
here=$(cd "$(dirname "$0")" && pwd)
# Skipped where the root cannot be entered, as root.sh tells.
bash "$here/root.sh" run "$root" "$root/tmp" true || exit
# What the root needs of the host: the jar, the test classes and the discs, in a folder of
# its own inside it; and "java", which runs the root's Java there.
work=$(mktemp -d "$root/tmp/tocmate-test.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
cp "$jar" "$work/tocmate.jar" && cp "$tests_jar" "$work/tests.jar" && cp -r "$discs" "$work/discs" ||
  exit 1
java=$work/java
printf '#!/usr/bin/env bash\nexec bash %q run %q %q java "$@"\n' "$here/root.sh" "$root" "$work" >"$java"
chmod +x "$java"
"$java" -version >"$work/version" 2>&1 || { cat "$work/version"; exit 1; }
failed=0
expected() { sed -n "s/^# $1 //p" "$2"; }

case $case_name in
  discs)
    for disc in "$discs"/*.toc; do
      first_track=$(sed 's/#.*//' "$disc" | tr -s ' \t\n' '\n' | grep -m1 .)
      [ "$first_track" = 1 ] || continue
      TOCMATE_DRIVE=discs/${disc##*/} bash "$here/../jvm/disc_texts.sh" "$disc" \
        "$java" -jar tocmate.jar || failed=1
    done
    ;;
  load)
    disc=$discs/22-tracks.toc
    TOCMATE_DRIVE=discs/${disc##*/} "$java" -Xmx64m -cp tocmate.jar:tests.jar LoadTest 4 100000 \
      "$(expected query "$disc")" "$(expected lengths "$disc")" || failed=1
    ;;
  no_platform)
    bash "$here/../jvm/jar.sh" no_platform "$java" tocmate.jar - - - - - - || failed=1
    ;;
  *)
    echo "no such case: $case_name"
    failed=1
    ;;
esac
[ $failed -eq 0 ] && echo "ok: $case_name on $(head -1 "$work/version")"
exit $failed
