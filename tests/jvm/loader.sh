#!/usr/bin/env bash
# Usage: loader.sh CASE JAVA TOCMATE-JAR LIBRARY-FOLDER DISCS-FOLDER TESTS-JAR VERSION
#                  OTHER-VERSION-LIBRARY OTHER-VERSION UNVERSIONED-LIBRARY FLIP-LOCKS
# The loader inside other people's JVMs: where it copies the library to, what it loads and
# refuses, and what of others' it leaves alone. Cases that need root (to mount, or to act as
# two users) are skipped (77) with a message where that cannot be.
#   others_copies  another user's planted copies and links in a shared temporary folder
#                  (sticky and not) are left alone: nothing of theirs or the victim's goes
#   fifo_lock      locks that turn into FIFOs between a check and an open hang no start
#   full_tmpdir    a full temporary folder keeps nothing of a failed copy; the cache serves
#   empty_tmpdir   an empty java.io.tmpdir loads through the cache folder or the property
#   properties     tocmate.tmpdir and tocmate.library.path (a file, a folder, a wrong one)
#   noexec         a noexec temporary folder loads through the cache folder; with that one
#                  noexec too, the error names both folders and the two properties
#   mismatch       a library of another version, or without a version, is refused
set -u
case_name=$1 java=$2 jar=$3 library_folder=$4 discs=$5 tests_jar=$6 version=$7
other_library=$8 other_version=$9 unversioned_library=${10} flip_locks=${11}
source "$(dirname "$0")/jar_common.sh"
cached=tocmate/$version/libTocmate.so

# as_user UID COMMAND...: the command as that user (and group), with a home in the scratch folder
as_user() {
  local uid=$1
  shift
  setpriv --reuid="$uid" --regid="$uid" --clear-groups env HOME="$tmp/home-$uid" "$@"
}
# refused NAME [JAVA-OPTION...] -- MESSAGE...: the tool does not run, and says each MESSAGE
refused() {
  local name=$1 options=() message
  shift
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  TOCMATE_DRIVE=$discs/worked-example.toc "$java" "${options[@]}" -jar "$jar" >/dev/null \
    2>"$tmp/errors" && fail "$name: ran"
  for message in "$@"; do
    grep -qF -- "$message" "$tmp/errors" ||
      fail "$name: not [$message] in: $(head -3 "$tmp/errors")"
  done
}

case $case_name in
  others_copies)
    attacker=65533 victim=65534
    [ "$(id -u)" -eq 0 ] && as_user $victim true 2>/dev/null ||
      skip "can not run as two users (needs root and setpriv)"
    chmod 755 "$tmp"
    cp "$jar" "$tmp/tocmate.jar"
    cp "$discs/worked-example.toc" "$tmp/"
    mkdir -m 700 "$tmp/home-$victim" "$tmp/home-$attacker"
    chown $victim:$victim "$tmp/home-$victim"
    chown $attacker:$attacker "$tmp/home-$attacker"
    # The victim's private folder, looking like a copy of the loader's.
    secrets=$tmp/home-$victim/.ssh
    as_user $victim sh -c "mkdir -m 700 $secrets && echo key >$secrets/id &&
      : >$secrets/in-use.lock && touch -d '2 hours ago' $secrets"
    for mode in 1777 0777; do
      shared=$tmp/shared-$mode
      mkdir -m $mode "$shared"
      # The attacker's copy, open to all and old, and a link to the victim's folder.
      as_user $attacker sh -c "mkdir -m 777 $shared/tocmate-planted && cd $shared/tocmate-planted &&
        : >in-use.lock && : >libTocmate.so && : >notes && chmod 666 * &&
        touch -d '2 hours ago' . && ln -s $secrets $shared/tocmate-link"
      output=$(as_user $victim env TOCMATE_DRIVE="$tmp/worked-example.toc" "$java" \
        -XX:-UsePerfData -Djava.io.tmpdir="$shared" -jar "$tmp/tocmate.jar" 2>"$tmp/errors")
      [ "$output" = "$worked" ] || fail "$mode: the victim's JVM: $output $(cat "$tmp/errors")"
      [ "$(ls "$shared/tocmate-planted" | xargs)" = "in-use.lock libTocmate.so notes" ] ||
        fail "$mode: the attacker's copy was emptied: $(ls -A "$shared/tocmate-planted")"
      [ "$(ls -A "$secrets" | xargs)" = "id in-use.lock" ] ||
        fail "$mode: the victim's files went: $(ls -A "$secrets")"
    done
    ;;
  fifo_lock)
    # Copies of ended JVMs (old, for this user only) whose locks a helper keeps turning into
    # a FIFO and back: a few in place, most through a link to one fast-turning file.
    swap=$tmp/swap copies=$tmp/java-tmp
    mkdir "$swap"
    locks=("$swap/in-use.lock")
    for ((i = 0; i < 500; i++)); do
      copy=$copies/tocmate-race-$i
      mkdir -m 700 "$copy"
      if ((i < 4)); then
        locks+=("$copy/in-use.lock")
      else
        ln -s "$swap/in-use.lock" "$copy/in-use.lock"
        touch -d '2 hours ago' "$copy"
      fi
    done
    for lock in "${locks[@]}"; do
      : >"$lock"
      mkfifo "$lock.spare"
    done
    start_held "$flip_locks" "${locks[@]}"
    for ((start = 1; start <= 5; start++)); do
      output=$(TOCMATE_DRIVE=$discs/worked-example.toc timeout -k 5 20 "$java" \
        -Djava.io.tmpdir="$copies" -jar "$jar" 2>"$tmp/errors")
      [ $? -ne 124 ] || { fail "start $start hung"; break; }
      [ "$output" = "$worked" ] || fail "start $start: $output $(cat "$tmp/errors")"
    done
    end_held "the lock flipper"
    [ -z "$(ls "$copies" | grep -v '^tocmate-race-')" ] || fail "left behind: $(ls "$copies")"
    ;;
  full_tmpdir)
    mount_tmpfs "$tmp/full" size=64k
    XDG_CACHE_HOME=$tmp/cache run_tool full -Djava.io.tmpdir="$tmp/full" -jar "$jar"
    no_copies_left "$tmp/full"
    [ -f "$tmp/cache/$cached" ] || fail "not loaded from the cache folder"
    ;;
  empty_tmpdir)
    # Nothing may go to the working folder either.
    mkdir "$tmp/work"
    cd "$tmp/work" || exit 1
    XDG_CACHE_HOME=$tmp/cache run_tool cache -Djava.io.tmpdir= -jar "$jar"
    [ -f "$tmp/cache/$cached" ] || fail "not loaded from the cache folder"
    XDG_CACHE_HOME=$nowhere/cache run_tool property -Djava.io.tmpdir= \
      -Dtocmate.library.path="$library_folder" -jar "$jar"
    no_copies_left "$tmp/work"
    ;;
  properties)
    mkdir "$tmp/chosen"
    hold_library -Dtocmate.tmpdir="$tmp/chosen"
    ls "$tmp"/chosen/tocmate-*/libTocmate.so >/dev/null 2>&1 ||
      fail "no copy in tocmate.tmpdir: $(ls -A "$tmp/chosen")"
    no_copies_left
    end_held "the holding JVM"
    no_copies_left "$tmp/chosen"
    # With nowhere to copy the jar's library to, only the property can serve.
    for chosen in "$library_folder" "$library_folder/libTocmate.so"; do
      XDG_CACHE_HOME=$nowhere/cache run_tool "library-path-${chosen##*/}" \
        -Djava.io.tmpdir="$nowhere/tmp" -Dtocmate.library.path="$chosen" -jar "$jar"
    done
    refused missing -Dtocmate.library.path="$tmp/none" -- \
      "tocmate.library.path is \"$tmp/none\", which is neither a libTocmate.so"
    ;;
  noexec)
    mount_tmpfs "$tmp/noexec" noexec,size=16m
    XDG_CACHE_HOME=$tmp/cache run_tool noexec -Djava.io.tmpdir="$tmp/noexec" -jar "$jar"
    no_copies_left "$tmp/noexec"
    [ -f "$tmp/cache/$cached" ] || fail "not loaded from the cache folder"
    XDG_CACHE_HOME=$tmp/noexec/cache refused "both noexec" -Djava.io.tmpdir="$tmp/noexec" -- \
      "java.io.tmpdir ($tmp/noexec): " "the cache folder ($tmp/noexec/cache/tocmate/$version): " \
      "failed to map segment" "Set tocmate.tmpdir to a folder" "or tocmate.library.path to a"
    [ -z "$(find "$tmp/noexec" -type f)" ] || fail "left behind: $(find "$tmp/noexec" -type f)"
    ;;
  mismatch)
    other_folder=${other_library%/*}
    mismatch="$other_library is version $other_version of the Tocmate library, but these classes\
 need version $version"
    refused java.library.path -Djava.library.path="$other_folder" -- \
      "$mismatch: put the library of version $version there, or take its folder off"
    refused tocmate.library.path -Dtocmate.library.path="$other_folder" -- \
      "$mismatch: set tocmate.library.path to the library of version $version, or leave it unset"
    refused older -Djava.library.path="${unversioned_library%/*}" -- \
      "$unversioned_library is a Tocmate library of an older version than $version"
    ;;
  *)
    fail "no such case"
    ;;
esac
finish
