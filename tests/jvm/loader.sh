#!/usr/bin/env bash
# Usage: loader.sh CASE JAVA TOCMATE-JAR LIBRARY-FOLDER DISCS-FOLDER TESTS-JAR VERSION
#                  OTHER-VERSION-LIBRARY OTHER-VERSION UNVERSIONED-LIBRARY FLIP-FOLDERS
#                  INTRUDER-LIBRARY
# The loader inside other people's JVMs: where it copies the library to, what it loads and
# refuses, and what of others' it leaves alone. Cases that need root (to mount, or to act as
# two users) are skipped (77) with a message where that cannot be.
#   attack_tmpdir  another user owns tocmate.tmpdir (writable by all, not sticky) and swaps
#                  folders in it: their library never runs, the victim's JVM reads the disc
#                  and makes nothing there; nor does their library run from the working
#                  folder, theirs, taken for an empty or relative entry of java.library.path;
#                  and two users whose names have no letters each have a folder of their own
#                  in a shared sticky tocmate.tmpdir
#   attack_cache   another user made the cache folder's tocmate/ first and swaps folders in
#                  it: their library never runs, the victim's JVM says which folder it refused;
#                  a cache folder to be made in a folder of theirs is refused, nothing made
#   unsafe_folders cache folders that another user could change are passed over for the
#                  temporary folder; safe ones (a sticky folder of root's among them) are used
#   cached_copy    a reused copy that is damaged, cut short, another library, a link, or
#                  writable by or of another user is replaced with the jar's, never loaded; a
#                  good one is reused as it is, and one of the library's size with the stamp
#                  only the loader (or its owner) gives is loaded without being compared
#   full_tmpdir    a full tocmate.tmpdir keeps nothing of a failed copy; the cache serves
#   empty_tmpdir   with no cache folder, an empty java.io.tmpdir fails, saying so, and
#                  tocmate.library.path serves; nothing goes to the working folder
#   properties     tocmate.tmpdir and tocmate.library.path (a file, a folder, a wrong one,
#                  named in characters the error escapes); a folder named as the library on
#                  java.library.path is passed over
#   noexec         a noexec tocmate.tmpdir loads through the cache folder; with that one
#                  noexec too, the error names both folders and the two properties
#   mismatch       a library of another version, or without a version, is refused
set -u
case_name=$1 java=$2 jar=$3 library_folder=$4 discs=$5 tests_jar=$6 version=$7
other_library=$8 other_version=$9 unversioned_library=${10} flip_folders=${11} intruder=${12}
source "$(dirname "$0")/jar_common.sh"
copies="tocmate/$version-*"
jar_library=$tmp/jar-library/cd/tocmate/natives/linux-x86_64/libTocmate.so

# as_user UID COMMAND...: the command as that user (and group), with a home in the scratch folder
as_user() {
  local uid=$1
  shift
  setpriv --reuid="$uid" --regid="$uid" --clear-groups \
    env -u XDG_CACHE_HOME HOME="$tmp/home-$uid" "$@"
}
# two_users: an attacker and a victim, each with a home, the jar, a disc and the other user's
# library where both can reach them; $mark is where that library leaves its mark when it runs
two_users() {
  attacker=65533 victim=65534
  [ "$(id -u)" -eq 0 ] && as_user $victim true 2>/dev/null ||
    skip "can not run as two users (needs root and setpriv)"
  chmod 755 "$tmp"
  cp "$jar" "$tmp/tocmate.jar"
  cp "$discs/worked-example.toc" "$intruder" "$tmp/"
  mkdir -m 700 "$tmp/home-$victim" "$tmp/home-$attacker"
  chown $victim:$victim "$tmp/home-$victim"
  chown $attacker:$attacker "$tmp/home-$attacker"
  mkdir -m 1777 "$tmp/marks"
  mark=$tmp/marks/intruder-ran
}
# victim_runs RUNS [VARIABLE=VALUE...] -- JAVA-OPTION...: the victim's JVM, RUNS times, while
# the attacker swaps; fails at the first run in which the attacker's library ran, and on
# output but the disc's texts unless the error names the refused folder ($refusal, if set);
# the last errors are in $tmp/errors
victim_runs() {
  local runs=$1 run output variables=()
  shift
  while [ "$1" != -- ]; do variables+=("$1"); shift; done
  shift
  for ((run = 1; run <= runs; run++)); do
    output=$(as_user $victim env "${variables[@]}" TOCMATE_INTRUDER_MARK="$mark" \
      TOCMATE_DRIVE="$tmp/worked-example.toc" "$java" -XX:-UsePerfData "$@" \
      -jar "$tmp/tocmate.jar" 2>"$tmp/errors")
    if [ -e "$mark" ]; then
      fail "the other user's library ran in the victim's JVM, run $run"
      return
    fi
    [ "$output" = "$worked" ] || { [ -n "${refusal:-}" ] && grep -qF -- "$refusal" "$tmp/errors"; } ||
      fail "run $run: [$output] $(cat "$tmp/errors")"
  done
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
# change_last_byte FILE: its last byte another, its size kept
change_last_byte() {
  local last
  last=$(tail -c 1 "$1" | od -An -tu1 | tr -d ' ')
  printf "\\$(printf %03o $((255 - last)))" |
    dd of="$1" bs=1 seek=$(($(stat -c %s "$1") - 1)) conv=notrunc status=none
}
# one_copy FOLDER: FOLDER holds this build's reused copy, and the only file there
one_copy() {
  local files
  files=$(find "$1" -type f)
  [[ "$files" == "$1"/*/$version-*/libTocmate.so ]] || fail "not one copy in $1: [$files]"
}

case $case_name in
  attack_tmpdir)
    two_users
    shared=$tmp/shared
    mkdir -m 777 "$shared"
    chown $attacker:$attacker "$shared"
    start_held as_user $attacker "$flip_folders" "$shared" tocmate "$tmp/${intruder##*/}" \
      libTocmate.so
    # Each run loads the victim's own copy, from the victim's cache folder.
    victim_runs 20 -- -Dtocmate.tmpdir="$shared"
    end_held "the attacker"
    made=$(find "$shared" -user $victim)
    [ -z "$made" ] || fail "the victim made in the refused folder: $made"
    # The victim works in the attacker's folder, where the attacker left libraries; the real
    # one is on java.library.path after an empty entry, or after a relative one.
    mkdir "$tmp/lib" "$shared/lib"
    cp "$library_folder/libTocmate.so" "$tmp/lib/"
    cp "$intruder" "$shared/libTocmate.so"
    cp "$intruder" "$shared/lib/libTocmate.so"
    chown -R $attacker:$attacker "$shared"
    cd "$shared" || exit 1
    victim_runs 1 LD_LIBRARY_PATH=":$tmp/lib" --
    victim_runs 1 -- -Djava.library.path="lib:$tmp/lib"
    cd "$tmp" || exit 1
    # Neither user's name has a letter (as where the password file lacks them), and neither
    # has a cache folder: each needs a folder of their own in the shared one.
    sticky=$tmp/sticky
    mkdir -m 1777 "$sticky"
    for user in $attacker $victim; do
      output=$(as_user $user env XDG_CACHE_HOME="$nowhere/cache" \
        TOCMATE_DRIVE="$tmp/worked-example.toc" "$java" -XX:-UsePerfData -Duser.name=? \
        -Dtocmate.tmpdir="$sticky" -jar "$tmp/tocmate.jar" 2>"$tmp/errors")
      [ "$output" = "$worked" ] || fail "user $user without a name: [$output] $(cat "$tmp/errors")"
    done
    ;;
  attack_cache)
    two_users
    # A cache base in a folder all users share, where the attacker made tocmate/ first.
    base=$tmp/shared
    mkdir -m 1777 "$base"
    as_user $attacker mkdir -m 777 "$base/tocmate"
    start_held as_user $attacker "$flip_folders" "$base/tocmate" "$version" \
      "$tmp/${intruder##*/}" libTocmate.so
    refusal="refused $base/tocmate"
    # No temporary folder: the loader has the cache folder or nothing.
    victim_runs 30 XDG_CACHE_HOME="$base" -- -Djava.io.tmpdir=
    end_held "the attacker"
    grep -qF "$refusal" "$tmp/errors" && grep -qF "it belongs to another user" "$tmp/errors" ||
      fail "the refusal does not say why: $(cat "$tmp/errors")"
    # A cache folder yet to be made, in a folder of the attacker's: refused, nothing made there.
    as_user $attacker mkdir -m 777 "$base/theirs"
    refusal="refused $base/theirs"
    victim_runs 1 XDG_CACHE_HOME="$base/theirs/cache" -- -Djava.io.tmpdir=
    made=$(find "$base/theirs" -user $victim)
    [ -z "$made" ] || fail "the victim made in the refused folder: $made"
    ;;
  unsafe_folders)
    [ "$(id -u)" -eq 0 ] || skip "needs root, to give folders to another user"
    other=65533
    # NAME:MODE OF THE CACHE BASE:MODE OF ITS tocmate/:OWNER OF THE ONE WITH A MODE:USED
    for setup in plain:755:700:root:cache group-writable:755:770:root:tmp \
      of-another-user:755:700:$other:tmp base-writable-by-all:777:700:root:tmp \
      sticky-of-root:1777:700:root:cache sticky-of-another-user:1777:700:$other:tmp; do
      IFS=: read -r name base_mode folder_mode owner used <<<"$setup"
      cache=$tmp/cache-$name temporary=$tmp/tmp-$name
      mkdir -m "$base_mode" "$cache"
      mkdir -m "$folder_mode" "$cache/tocmate"
      mkdir -m 700 "$temporary"
      chmod "$base_mode" "$cache"
      if [ "$owner" != root ]; then
        [ "${base_mode#1}" != "$base_mode" ] && chown "$owner" "$cache" || chown "$owner" "$cache/tocmate"
      fi
      XDG_CACHE_HOME=$cache run_tool "$name" -Djava.io.tmpdir="$temporary" -jar "$jar"
      if [ "$used" = cache ]; then
        one_copy "$cache"
        [ -z "$(ls -A "$temporary")" ] || fail "$name: copied to the temporary folder too"
      else
        one_copy "$temporary"
        [ -z "$(find "$cache" -type f)" ] || fail "$name: copied into the cache folder"
      fi
    done
    ;;
  cached_copy)
    run_tool first -jar "$jar"
    copy=$(echo "$XDG_CACHE_HOME"/$copies/libTocmate.so)
    (mkdir "$tmp/jar-library" && cd "$tmp/jar-library" &&
      "${java%/*}/jar" --extract --file "$jar" "${jar_library#"$tmp/jar-library/"}") ||
      fail "could not extract the jar's library"
    cmp -s "$copy" "$jar_library" || fail "the first copy is not the jar's library"
    touch -d '2 hours ago' "$copy"
    run_tool reused -jar "$jar"
    [ "$(find "$copy" -mmin +60)" = "$copy" ] || fail "a good copy was written anew"
    cp "$intruder" "$tmp/elsewhere"
    # The copy is compared a piece at a time: a byte at its very end and one too many count too.
    damages=(byte last-byte longer short other link writable)
    [ "$(id -u)" -eq 0 ] && damages+=(of-another-user)
    for damage in "${damages[@]}"; do
      case $damage in
        writable) chmod 666 "$copy" ;;
        of-another-user) chown 65533 "$copy" ;;
        byte) printf '\xff' | dd of="$copy" bs=1 seek=70000 conv=notrunc status=none ;;
        last-byte) change_last_byte "$copy" ;;
        longer) printf x >>"$copy" ;;
        short) truncate -s 100000 "$copy" ;;
        other) cp "$intruder" "$copy" ;;
        link) rm "$copy" && ln -s "$tmp/elsewhere" "$copy" ;;
      esac
      TOCMATE_INTRUDER_MARK=$tmp/intruder-ran run_tool "$damage" -jar "$jar"
      [ -e "$tmp/intruder-ran" ] && fail "$damage: the copy there was loaded"
      [ ! -L "$copy" ] && cmp -s "$copy" "$jar_library" &&
        [ "$(stat -c '%u %a' "$copy")" = "$(id -u) 600" ] || fail "$damage: the copy was not replaced"
    done
    cmp -s "$tmp/elsewhere" "$intruder" || fail "the link was followed"
    # Of the library's size and with the loader's stamp, which only its owner or root could
    # have given it, a copy is taken as the library, not even read (its last byte, in section
    # headers that loading does not read, is not the library's).
    change_last_byte "$copy"
    touch -d @1000000000 "$copy"
    run_tool stamped -jar "$jar"
    cmp -s "$copy" "$jar_library" && fail "a whole stamped copy was compared"
    one_copy "$XDG_CACHE_HOME"
    ;;
  full_tmpdir)
    mount_tmpfs "$tmp/full" size=64k
    run_tool full -Dtocmate.tmpdir="$tmp/full" -jar "$jar"
    [ -z "$(find "$tmp/full" -type f)" ] || fail "left behind: $(find "$tmp/full" -type f)"
    one_copy "$XDG_CACHE_HOME"
    ;;
  empty_tmpdir)
    # Nothing may go to the working folder either.
    mkdir "$tmp/work"
    cd "$tmp/work" || exit 1
    XDG_CACHE_HOME=$nowhere/cache refused "no folder" -Djava.io.tmpdir= -- \
      "the cache folder ($nowhere/cache): " "java.io.tmpdir, which is empty"
    XDG_CACHE_HOME=$nowhere/cache run_tool property -Djava.io.tmpdir= \
      -Dtocmate.library.path="$library_folder" -jar "$jar"
    no_copies_left "$tmp/work"
    ;;
  properties)
    mkdir "$tmp/chosen"
    hold_library -Dtocmate.tmpdir="$tmp/chosen"
    end_held "the holding JVM"
    # A second JVM reuses the copy: one file, in tocmate.tmpdir only.
    run_tool again -Dtocmate.tmpdir="$tmp/chosen" -jar "$jar"
    one_copy "$tmp/chosen"
    [[ $(echo "$tmp"/chosen/*) == "$tmp/chosen/tocmate.$(id -un)" ]] ||
      fail "not in this user's folder: $(ls -A "$tmp/chosen")"
    no_copies_left
    [ ! -e "$XDG_CACHE_HOME" ] || fail "copied into the cache folder too"
    # With nowhere to copy the jar's library to, only the property can serve.
    for chosen in "$library_folder" "$library_folder/libTocmate.so"; do
      XDG_CACHE_HOME=$nowhere/cache run_tool "library-path-${chosen##*/}" \
        -Djava.io.tmpdir="$nowhere/tmp" -Dtocmate.library.path="$chosen" -jar "$jar"
    done
    refused missing -Dtocmate.library.path="$tmp/none" -- \
      "tocmate.library.path is \"$tmp/none\", which is neither a libTocmate.so"
    # The error as a program gets it (the command line escapes what it prints): U+202E, which
    # would reverse what follows, escaped.
    LC_ALL=C.UTF-8 "$java" -Dtocmate.library.path="$tmp/none"$'\xe2\x80\xae'"x" \
      -cp "$jar:$tests_jar" HoldLibrary </dev/null >/dev/null 2>"$tmp/errors"
    grep -qF "tocmate.library.path is \"$tmp/none\\u202ex\"" "$tmp/errors" &&
      ! grep -q $'\xe2\x80\xae' "$tmp/errors" || fail "not escaped: $(head -1 "$tmp/errors")"
    mkdir -p "$tmp/path/libTocmate.so"
    run_tool "a folder on java.library.path" -Djava.library.path="$tmp/path" -jar "$jar"
    ;;
  noexec)
    mount_tmpfs "$tmp/noexec" noexec,size=16m
    run_tool noexec -Dtocmate.tmpdir="$tmp/noexec" -jar "$jar"
    one_copy "$XDG_CACHE_HOME"
    XDG_CACHE_HOME=$tmp/noexec/cache refused "both noexec" -Dtocmate.tmpdir="$tmp/noexec" -- \
      "tocmate.tmpdir ($tmp/noexec): " "the cache folder ($tmp/noexec/cache): " \
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
