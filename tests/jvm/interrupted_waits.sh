#!/usr/bin/env bash
# Usage: interrupted_waits.sh FAKE-LIBRARY TOCMATE-LIBRARY TOCMATE-JAR TEST-JAR JAVA
# Calls that wait for a drive another call holds (its one command takes 35 seconds) end when
# their threads are interrupted, and the JVM exits within 2 seconds of System.exit while a
# call holds the drive and another waits for it. The one report is the interrupted call's.
set -u
fake=$1 library=$2 jar=$3 tests=$4 java=$5
source "$(dirname "$0")/drive_folder.sh" "$library" "$jar" "$tests"
output=$(LD_PRELOAD=$fake TOCMATE_DRIVE=$device FAKE_CDROM_LATENCY_US=35000000 "$java" \
  -Xcheck:jni -XX:-UsePerfData -Djava.library.path="$folder" \
  -cp "$folder/$(basename "$jar"):$folder/$(basename "$tests")" \
  DiscCheck interrupted-then-exit "$device" 2>"$folder/errors")
status=$?
ended=$(date +%s%3N)
exited=$(sed -n 's/^exit //p' <<<"$output")
failed=0
if [ $status -ne 0 ] || [ -z "$exited" ]; then
  printf 'exit %d:\n%s\n' $status "$output"
  failed=1
fi
if [ -n "$exited" ] && [ $((ended - exited)) -gt 2000 ]; then
  echo "the JVM took $((ended - exited)) ms to exit"
  failed=1
fi
if [ "$(cat "$folder/errors")" != "The wait for the CD drive was interrupted" ]; then
  printf 'standard error:\n%s\n' "$(cat "$folder/errors")"
  failed=1
fi
[ $failed -eq 0 ] && echo "ok: interrupted waits end, and the JVM exited in $((ended - exited)) ms"
exit $failed
