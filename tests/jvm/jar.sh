#!/usr/bin/env bash
# Usage: jar.sh CASE JAVA TOCMATE-JAR LIBRARY-FOLDER DISCS-FOLDER FAKE-DRIVE-LIBRARY TESTS-JAR
#               VERSION SHOWN-VERSION
# The jar as a Java developer gets it: a fresh JVM with nothing but the jar on its class
# path finds the native library inside, and loads it from a copy for this user only.
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
#   leftovers    what JVMs killed while writing or opening the reused copy left is removed;
#                young files, links, FIFOs and other users' files are kept
#   two_loaders  two class loaders in one JVM each load the library and read the disc
set -u
case_name=$1 java=$2 jar=$3 library_folder=$4 discs=$5 fake=$6 tests_jar=$7 version=$8 shown_version=$9
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
    [ "$output" = "tocmate $shown_version" ] || fail "--version: [$output]"
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
    # What JVMs killed while they wrote or opened the reused copy left beside it, and files
    # that only look so: only this user's plain files untouched for a minute go.
    run_tool first -jar "$jar"
    folder=$(echo "$XDG_CACHE_HOME/tocmate/$version"-*)
    left=$folder/.libTocmate.so
    : >"$tmp/target"
    echo part >"$left-killed.part"
    : >"$left-killed.open"
    echo part >"$left-young.part"
    ln -s "$tmp/target" "$left-link.part"
    mkfifo "$left-fifo.part"
    kept=("$left-young.part" "$left-link.part" "$left-fifo.part")
    if [ "$(id -u)" -eq 0 ]; then
      echo part >"$left-other.part"
      chown 65533 "$left-other.part"
      kept+=("$left-other.part")
    fi
    touch -c -h -d '2 hours ago' "$left-killed.part" "$left-link.part" "$left-fifo.part" \
      "$left-other.part"
    # A second name of the copy counts from when it was made, which no touch can change.
    sleep 61
    touch "$left-young.part"
    TOCMATE_DRIVE=$discs/worked-example.toc timeout -k 5 20 "$java" \
      -Djava.io.tmpdir="$tmp/java-tmp" -jar "$jar" >/dev/null || fail "the second JVM failed or hung"
    [ ! -e "$left-killed.part" ] || fail "a copy left half-written is still there"
    [ ! -e "$left-killed.open" ] || fail "a second name left is still there"
    for file in "${kept[@]}"; do
      [ -e "$file" ] || [ -L "$file" ] || fail "removed: $file"
    done
    [ -f "$tmp/target" ] || fail "a link was followed"
    no_copies_left
    ;;
  two_loaders)
    # The cache folder only, where two class loaders meet.
    TOCMATE_DRIVE=$discs/worked-example.toc "$java" -Djava.io.tmpdir= -cp "$tests_jar" \
      TwoLoaders "$jar" "$discs/22-tracks.toc" \
      "$(sed -n 's/^# musicbrainz //p' "$discs/22-tracks.toc")" >"$tmp/two" 2>&1 ||
      fail "$(cat "$tmp/two")"
    ;;
  *)
    fail "no such case"
    ;;
esac
finish
