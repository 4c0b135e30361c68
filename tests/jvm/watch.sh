#!/usr/bin/env bash
# Usage: watch.sh CASE FAKE-LIBRARY TOCMATE-LIBRARY-FOLDER TOCMATE-JAR TEST-JAR JAVA DISCS
# A watch of the fake drive while its medium changes as the case's schedule says (times in
# seconds; a disc by its sample file's name): the reports must be the case's, in order, each
# within two polls, with the disc's freedb ID from the sample file's own "# query" line; the
# drive may see no more than 4 commands in any second (the table of contents read through
# the kernel's ioctls aside, a command a track there).
set -u
case=$1 fake=$2 library_folder=$3 jar=$4 tests=$5 java=$6 discs=$7
settings=() rate=check
case $case in
  arrivals) # a disc at the start, taken out, another spinning up, the tray opened
    schedule='0 disc 22-tracks|3 no-disc|5 becoming-ready|7 disc worked-example|9 tray-open'
    steps='inserted@0:22-tracks removed@3 inserted@7:worked-example removed@9' end=11 ;;
  without-media-events) # TEST UNIT READY alone, on a drive that gives no events
    settings=(FAKE_CDROM_EVENTS=unsupported)
    schedule='0 disc 22-tracks|3 no-disc|5 becoming-ready|7 disc worked-example|9 tray-open'
    steps='inserted@0:22-tracks removed@3 inserted@7:worked-example removed@9' end=11 ;;
  without-sg-io) # the kernel's drive status and table-of-contents ioctls
    settings=(FAKE_CDROM_SG_IO=refuse)
    schedule='0 no-disc|2 becoming-ready|3 disc six-tracks|6 tray-open|7 disc single-track'
    steps='inserted@3:six-tracks removed@6 inserted@7:single-track' end=10 ;;
  swapped) # one disc for another between two polls: the drive says the medium changed
    schedule='0 disc single-track|3.3 tray-open|3.6 disc 22-tracks'
    steps='inserted@0:single-track removed@3.3 inserted@3.6:22-tracks' end=7 ;;
  kernel-polling) # one disc for another at once, the kernel's polling taking the drive's
    # unit attention and event first: its CDROM_MEDIA_CHANGED flag tells the change
    settings=(FAKE_CDROM_KERNEL_POLLING=on)
    schedule='0 disc single-track|3 disc 22-tracks'
    steps='inserted@0:single-track removed@3 inserted@3:22-tracks' end=6 ;;
  ejected) # the program opens the tray and closes it again: the same disc again
    schedule='0 disc 22-tracks'
    steps='inserted@0:22-tracks eject@2 removed@2 close@4 inserted@4:22-tracks' end=7 ;;
  locked-tray) # a program keeps the tray locked: nothing moves, nothing is reported
    settings=(FAKE_CDROM_TRAY=locked)
    schedule='0 disc 22-tracks'
    steps='inserted@0:22-tracks eject-refused@2:TRAY_LOCKED' end=4 ;;
  slot-loading) # a drive that ejects but never closes, through the kernel's ioctls too
    settings=(FAKE_CDROM_TRAY=slot FAKE_CDROM_SG_IO=refuse)
    schedule='0 disc 22-tracks'
    steps='inserted@0:22-tracks eject@2 removed@2 close-refused@3:UNSUPPORTED' end=5 ;;
  unreadable) # a disc that can not be read: reported once, after a few tries
    schedule='0 no-disc|1 read-error worked-example|7 no-disc|8 disc worked-example'
    steps='unreadable@1 removed@7 inserted@8:worked-example' end=10 ;;
  failing-listener) # a listener's StackOverflowError ends nothing
    schedule='0 disc 22-tracks|3 no-disc|4 disc worked-example'
    steps='throw@1 inserted@0:22-tracks removed@3 inserted@4:worked-example' end=6 ;;
  reads-beside) # Disc.read beside a watch of a slow drive (40 ms a command)
    settings=(FAKE_CDROM_LATENCY_US=40000) rate=reads
    schedule='0 disc 22-tracks'
    steps='inserted@0:22-tracks reads@2' end=5 ;;
  drive-held) # a reading of a slow drive (1 s) holds it while the disc leaves: the watch
    # sends nothing meanwhile (its poll skipped) and reports the removal after
    settings=(FAKE_CDROM_LATENCY_US=1000000 FAKE_CDROM_SLOW_OPCODE=43) rate=held
    schedule='0 disc 22-tracks|5.5 no-disc'
    steps='inserted@0:22-tracks read@5 removed@5.5' end=8 ;;
  *) echo "no case $case"; exit 2 ;;
esac

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
: >"$folder/sr0"
table_of() { sed -e '/^[[:space:]]*\(catalog\|isrc\|cdtext\)/d' -e 's/#.*//' "$discs/$1.toc" | tr -s ' \n\t' ' '; }
freedb_of() { sed -n 's/^# query \([0-9A-Fa-f]*\) .*/\1/p' "$discs/$1.toc"; }
IFS='|' read -ra changes <<<"$schedule"
for change in "${changes[@]}"; do
  read -r at state disc <<<"$change"
  echo "$at $state ${disc:+$(table_of "$disc")}"
done >"$folder/schedule"
expected=()
for step in $steps; do
  disc=${step#*:}
  [ "$disc" != "$step" ] && [ -e "$discs/$disc.toc" ] && step=${step%%:*}:$(freedb_of "$disc")
  expected+=("$step")
done

export FAKE_CDROM_DEVICE=$folder/sr0 FAKE_CDROM_MEDIUM=$folder/schedule
export FAKE_CDROM_TIMED_LOG=$folder/commands
env "${settings[@]}" LD_PRELOAD="$fake" "$java" -Xcheck:jni -Djava.library.path="$library_folder" \
  -cp "$jar:$tests" WatchCheck "$folder/sr0" "$folder/schedule" "$end" "${expected[@]}"
status=$?

# The most commands in one second, from each command on.
busiest=$(grep -v ' header$\| entry [0-9]*$' "$folder/commands" | awk '
  { time[NR] = $1 }
  END { most = 0; first = 1
        for (i = 1; i <= NR; i++) { while (time[i] - time[first] >= 1) first++
                                    if (i - first + 1 > most) most = i - first + 1 }
        print most }')
echo "$(wc -l <"$folder/commands") drive commands in ${end} s, at most $busiest in a second"
if [ "$rate" = check ] && [ "$busiest" -gt 4 ]; then
  echo "FAILED: $busiest commands in one second"
  status=1
fi
# While a reading holds the drive, no command of the watch's comes between.
if [ "$rate" = held ] && ! awk '
    held && $1 - since < 1 { print "FAILED: " $0 " while a reading held the drive"; bad = 1 }
    { held = $3 == "43"; since = $1 }
    END { exit bad }' "$folder/commands"; then
  status=1
fi
exit $status
