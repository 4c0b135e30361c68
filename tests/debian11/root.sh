#!/usr/bin/env bash
# A Debian 11 ("bullseye", glibc 2.31) system with its Java runtime (11), in a folder kept
# outside the clone, to run the jar as a user of an older Linux does.
#   root.sh make ROOT        makes ROOT once with debootstrap, from the Debian archive that
#                            apt uses here; later finds it, checks it, and makes it anew
#                            when it is missing or broken
#   root.sh run ROOT FOLDER COMMAND...
#                            runs COMMAND in ROOT, in FOLDER (a folder inside ROOT, named as
#                            the host sees it), with a clean environment but TOCMATE_DRIVE
# Both exit with 77, for a skipped test, where a root cannot be made or entered here: not
# as root, or without debootstrap or mount namespaces.
set -u
action=$1 root=$2
shift 2
skip() {
  echo "skipped: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "making and entering a Debian 11 root needs root"
unshare --mount --fork true 2>/dev/null || skip "no mount namespaces here"

# COMMAND in ROOT with a /proc (Java needs one) mounted for it alone, gone with it. (Not in
# a process namespace of its own: JVMs of the same process number there would share files
# in /tmp.)
in_root() {
  unshare --mount --fork --mount-proc="$root/proc" chroot "$root" "$@"
}

# debian_archive: the Debian archive of apt's sources here.
source "$(dirname "$0")/../debian_archive.sh"

case $action in
  make)
    command -v debootstrap >/dev/null ||
      skip "no debootstrap (scripts/install-deps.sh debootstrap installs it)"
    mkdir -p "$(dirname "$root")"
    # One maker at a time; the others wait and find it made.
    exec 9>"$root.lock"
    flock 9
    made=$root/.tocmate-made
    if [ -f "$made" ] && in_root java -version >/dev/null 2>&1; then
      echo "ok: $root, made $(cat "$made")"
      exit 0
    fi
    read -r archive keyring < <(debian_archive)
    [ -n "${archive:-}" ] || { echo "no Debian archive among apt's sources"; exit 1; }
    rm -rf --one-file-system "$root" "$root.new"
    echo "making $root from $archive"
    start=$SECONDS
    if ! debootstrap --variant=minbase --include=openjdk-11-jre-headless \
      ${keyring:+--keyring="$keyring"} bullseye "$root.new" "$archive" >"$root.log" 2>&1; then
      tail -20 "$root.log"
      rm -rf --one-file-system "$root.new"
      exit 1
    fi
    mv "$root.new" "$root"
    echo "$(date -u +%FT%TZ) in $((SECONDS - start)) s from $archive" >"$made"
    in_root java -version 2>&1 | head -1
    echo "ok: $root, made $(cat "$made")"
    ;;
  run)
    [ -f "$root/.tocmate-made" ] || { echo "no Debian 11 root at $root"; exit 1; }
    folder=${1#"$root"}
    shift
    in_root /usr/bin/env -i PATH=/usr/bin:/bin HOME=/tmp ${TOCMATE_DRIVE:+TOCMATE_DRIVE="$TOCMATE_DRIVE"} \
      sh -c 'cd "$0" && exec "$@"' "$folder" "$@"
    ;;
  *)
    echo "no such action: $action"
    exit 2
    ;;
esac
