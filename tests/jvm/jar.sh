#!/usr/bin/env bash
# Usage: jar.sh CASE JAVA TOCMATE-JAR LIBRARY-FOLDER DISCS-FOLDER FAKE-DRIVE-LIBRARY TESTS-JAR
#               VERSION
# The jar as a Java developer gets it: a fresh JVM with nothing but the jar on its class
# path finds the native library inside, in a private temporary folder it removes at exit.
#   alone        java -jar reads a disc file; java -cp reads a (simulated) drive
#   two_jvms     two JVMs started at the same moment both load the library and read
#   override     a library on java.library.path is used instead of the jar's
#   no_platform  a platform the jar has no library for fails with a message naming both,
#                on one line
#   command_line --help, --version and wrong arguments, with no native library to load
#   platforms    the jar holds and lists the libraries this build bundled (TOCMATE_BUNDLED:
#                "<platform>/<file>", separated by spaces) in its own folder
#   merged       a jar merged from ours and another with natives/ and META-INF/ of its own,
#                the other's files winning where names meet, reads a disc
#   leftovers    copies left by JVMs that have ended are removed (only the files a copy
#                holds), those of running JVMs kept
set -u
case_name=$1 java=$2 jar=$3 library_folder=$4 discs=$5 fake=$6 tests_jar=$7 version=$8
source "$(dirname "$0")/jar_common.sh"

case $case_name in
  alone)
    run_tool jar -jar "$jar"
    no_copies_left
    device=$tmp/sr0
    : >"$device"
    output=$(LD_PRELOAD=$fake FAKE_CDROM_DEVICE=$device FAKE_CDROM_TOC="1 3 48766 150 18000 33765" \
      TOCMATE_DRIVE=$device "$java" -Djava.io.tmpdir="$tmp/java-tmp" -cp "$jar" cd.Tocmate)
    [ "$output" = "$worked" ] || fail "-cp with a drive: got [$output]"
    no_copies_left
    ;;
  two_jvms)
    run_tool first -jar "$jar" &
    run_tool second -jar "$jar" &
    wait -n || failed=1
    wait -n || failed=1
    no_copies_left
    ;;
  override)
    # With nowhere to copy the jar's library to, only java.library.path can serve.
    : >"$tmp/file"
    XDG_CACHE_HOME=$tmp/file/cache run_tool override -Djava.io.tmpdir="$tmp/file/tmp" \
      -Djava.library.path="$library_folder" -jar "$jar"
    ;;
  no_platform)
    "$java" -Dos.arch=sparc -jar "$jar" >/dev/null 2>"$tmp/errors"
    status=$?
    [ $status -eq 1 ] || fail "exit status $status on sparc"
    grep -q 'UnsatisfiedLinkError: no Tocmate library for the platform linux-sparc .* it for: linux-x86_64' \
      "$tmp/errors" || fail "message: $(head -1 "$tmp/errors")"
    [ "$(wc -l <"$tmp/errors")" -eq 1 ] || fail "more than the message: $(cat "$tmp/errors")"
    ;;
  command_line)
    # On a platform the jar has no library for, all of these still answer.
    tool=("$java" -Dos.arch=sparc -jar "$jar")
    help=$("${tool[@]}" --help 2>"$tmp/errors") || fail "--help exited with $?"
    for topic in --drive --musicbrainz --json --version TOCMATE_DRIVE 'cddb query' 'Exit status'; do
      grep -qF -- "$topic" <<<"$help" || fail "the help does not explain $topic: $help"
    done
    [ -s "$tmp/errors" ] && fail "--help wrote to standard error: $(cat "$tmp/errors")"
    output=$("${tool[@]}" --version) || fail "--version exited with $?"
    [ "$output" = "tocmate $version" ] || fail "--version: [$output]"
    # Each wrong: exit 2, nothing on standard output, a message and the usage on standard error.
    for arguments in --bogus --drive --drive= '--json --musicbrainz' '--drive a --drive b' \
      '--help --bogus'; do
      # shellcheck disable=SC2086 # split into arguments on purpose
      output=$("${tool[@]}" $arguments 2>"$tmp/errors")
      status=$?
      [ $status -eq 2 ] && [ -z "$output" ] && grep -q '^tocmate: ' "$tmp/errors" &&
        grep -q '^Usage: ' "$tmp/errors" ||
        fail "$arguments: exit $status, [$output], [$(cat "$tmp/errors")]"
    done
    # An argument's control characters do not reach the terminal.
    "${tool[@]}" $'--\e]0;title\a' 2>"$tmp/errors"
    grep -qF 'tocmate: unknown argument '"'"'--\x1b]0;title\x07'"'" "$tmp/errors" ||
      fail "an argument printed raw: $(cat -v "$tmp/errors")"
    ;;
  platforms)
    natives=cd/tocmate/natives
    listed=$(cd "$tmp" && "${java%/*}/jar" --extract --file "$jar" "$natives/platforms" &&
      cat "$natives/platforms")
    [ "$(sort <<<"$listed")" = "$(tr ' ' '\n' <<<"$TOCMATE_BUNDLED" | sort)" ] ||
      fail "the jar lists [$listed], not [$TOCMATE_BUNDLED]"
    contents=$("${java%/*}/jar" --list --file "$jar")
    for library in $TOCMATE_BUNDLED; do
      grep -qx "$natives/$library" <<<"$contents" || fail "no $natives/$library in the jar"
    done
    ;;
  merged)
    other=$tmp/other merged=$tmp/merged
    mkdir -p "$other/natives/linux-x86_64" "$other/META-INF" "$merged"
    echo "linux-x86_64/libTocmate.so" >"$other/natives/platforms"
    echo "not a library" >"$other/natives/linux-x86_64/libTocmate.so"
    printf 'Manifest-Version: 1.0\nMain-Class: Other\n' >"$other/META-INF/MANIFEST.MF"
    (cd "$merged" && "${java%/*}/jar" --extract --file "$jar" && cp -r "$other"/. .) &&
      "${java%/*}/jar" --create --file "$tmp/merged.jar" --manifest "$merged/META-INF/MANIFEST.MF" \
        -C "$merged" . || fail "could not merge"
    run_tool merged -cp "$tmp/merged.jar" cd.Tocmate
    no_copies_left
    ;;
  leftovers)
    copies=$tmp/java-tmp
    # A running JVM's copy, made to look old, and copies as the loader makes them (for this
    # user only, with a lock) whose JVMs have ended; one also holds a file not the loader's.
    hold_library
    live=$(ls -d "$copies"/tocmate-*)
    ended=$copies/tocmate-ended extra=$copies/tocmate-extra
    for copy in "$ended" "$extra"; do
      mkdir -m 700 "$copy"
      : >"$copy/in-use.lock"
      : >"$copy/libTocmate.so"
    done
    : >"$extra/notes.txt"
    touch -d '2 hours ago' "$ended" "$extra" "$live"
    run_tool leftovers -jar "$jar"
    [ ! -e "$ended" ] || fail "the copy of an ended JVM is still there"
    [ -d "$live" ] || fail "the copy of a running JVM was removed"
    [ "$(ls -A "$extra")" = notes.txt ] || fail "in a copy with another file: $(ls -A "$extra")"
    rm -rf "$extra"
    end_held "the holding JVM"
    no_copies_left
    ;;
  *)
    fail "no such case"
    ;;
esac
finish
