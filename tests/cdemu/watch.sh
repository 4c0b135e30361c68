#!/usr/bin/env bash
# Usage: watch.sh GUEST JAR DISCS-FOLDER
# The jar's --watch in the CDEmu guest (guest.sh), as a user in group cdrom, while the
# drive's disc changes: a disc in the drive at the start, taken out, another put in, that
# one swapped for the first (unloaded and loaded again at once). Each change must be
# printed once, in order, each disc with the MusicBrainz ID and CDDB query of its sample
# file's own comments.
set -u
guest=$1 jar=$2 discs=$3
here=$(cd "$(dirname "$0")" && pwd)
first=22-tracks second=six-tracks
source "$here/common.sh"

make_work "$jar"
for disc in $first $second; do
  python3 "$here/disc_image.py" "$discs/$disc.toc" "$work/images/$disc.toc" || exit 1
done
# The watch runs beside the steps; each step waits for the line of the change before.
cat >"$work/steps.sh" <<STEPS
printed() { [ "\$(wc -l </work/out/watch.out)" -ge "\$1" ]; }
await() { for _ in \$(seq 600); do printed "\$1" && return; sleep 0.2; done; }
load images/$first.toc
: >/work/out/watch.out
(cd /work && exec setpriv --reuid=tocmate --regid=tocmate --init-groups env -i HOME=/tmp \
  PATH=/usr/bin:/bin $guest_java --watch --drive /dev/sr0 >out/watch.out 2>out/watch.err) &
await 1
unload
await 2
load images/$second.toc
await 3
unload
load images/$first.toc
await 5
# Time for a change reported twice to show.
sleep 4
STEPS

boot_guest "$guest"

inserted_line() {
  local query
  query=$(sed -n 's/^# query //p' "$discs/$1.toc")
  printf 'inserted\t/dev/sr0\t%s\tcddb query %s %s\n' \
    "$(sed -n 's/^# musicbrainz //p' "$discs/$1.toc")" \
    "$(tr 'A-F' 'a-f' <<<"${query%% *}")" "${query#* }"
}
removed=$'removed\t/dev/sr0'
expected=$(inserted_line $first; echo "$removed"; inserted_line $second; echo "$removed"
  inserted_line $first)
if [ "$(cat "$work/out/watch.out")" != "$expected" ] || [ -s "$work/out/watch.err" ]; then
  printf 'expected:\n%s\nprinted:\n%s\n%s\n' "$expected" "$(cat "$work/out/watch.out")" \
    "$(cat "$work/out/watch.err")"
  exit 1
fi
echo "ok: a disc at the start, taken out, another put in and swapped, each reported once"
