#!/usr/bin/env bash
# Builds the benchmarks optimised and prints, as medians:
#   - reads of a CD drive (the tests' fake drive, answering at once and taking 0.5 ms a
#     command) side by side: a whole getCDDBNumbers call, the disc reader alone, and
#     libdiscid, with each ratio to libdiscid and the drive commands a read sends;
#   - what a call costs in C++ through our MCI layer for table-of-contents files of 1, 22
#     and 99 tracks, and from Java against a JNI call that returns a fixed text;
#   - whole processes on the fake drive, side by side: an empty Java program, java -jar
#     --musicbrainz, a program reading one disc ID through Disc and one through JNA and the
#     system's libdiscid, each against the empty program, with the first ID's time from main.
#   - a disc's layout (pregaps, index points) on the fake drive taking 0.5 ms a command: the
#     search of its boundaries against reading every sector's Q, commands and time, ratios;
#   - a disc's audio on the fake drive (answering at once, caching 800 sectors): MB/s of a rip
#     through the command line in burst and in secure mode, with the sectors read from the disc
#     a sector of the track, and with a drive whose C2 pointers flag every sector the disc
#     reads a sector and the READ CDs sent; the drive's read offset found from an AccurateRip answer against
#     reading track 1 once, what a search that reads it at each candidate offset pays for
#     each; and the processor time a megabyte of the rip's checksums
#     takes, beside whipper's accuraterip-checksum on the same WAVE file; a FLAC rip's time
#     against a WAVE rip's followed by flac -5 on its file, and their sizes; and where the CDEmu
#     guest of the tests is made (TOCMATE_CDEMU_GUEST, else /var/cache/tocmate/trixie-cdemu),
#     one track read by DiscAudio in burst mode (timed inside the JVM, after a first read)
#     beside cdparanoia -Z reading it, in the guest.
#   - the lookup's own cost: a MusicBrainz answer of 25 releases of two media of 99 tracks
#     (about 4 MB) parsed, no network.
# With --processes, only the whole processes; with --audio, only the audio; with --lookup,
# only the lookup's cost; with
# --instructions, only the instructions of one read of each on the fake drive, which
# callgrind counts alike on a busy machine. TOCMATE_BENCH_BEFORE names another build's jar
# (an earlier loader, say) whose java -jar and first ID are measured in the same runs.
set -euo pipefail
mode=${1:-all}
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-deps.sh" libbenchmark-dev libdiscid-dev pkg-config libjna-java libdiscid0 \
  valgrind whipper flac
cd "$here/.."
"$here/build.sh" build-bench -DCMAKE_BUILD_TYPE=Release -DTOCMATE_BENCH=ON -DBUILD_TESTING=OFF \
  -DTOCMATE_CROSS_BUILDS=OFF >/dev/null
discs=$PWD/tests/discs

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
: >"$folder/sr0"
fake_drive=(env LD_PRELOAD="$PWD/build-bench/bench/libbench_fake_cdrom.so" FAKE_CDROM_DEVICE="$folder/sr0")

# instructions READER TRACKS: "all own" instructions of one read, all of them and those left
# when the fake drive's (its ioctl, open and status functions: what a kernel and a drive
# would do) are taken off; the difference between 11 reads and 1, so that what happens once
# in a process (symbol binding, first allocations) is left out.
instructions() {
  local reads
  for reads in 1 11; do
    "${fake_drive[@]}" valgrind --tool=callgrind --callgrind-out-file="$folder/callgrind.$reads" \
      --toggle-collect=Java_cd_Tocmate_getCDDBNumbers --toggle-collect='readDisc(*' \
      --toggle-collect='discid_*' build-bench/bench/drive_read_cost "$discs" "$1" "$2" "$reads" \
      2>/dev/null
    callgrind_annotate --inclusive=yes --threshold=100 "$folder/callgrind.$reads" |
      awk '{count = $1; gsub(",", "", count)}
        /PROGRAM TOTALS/ {all = count}
        /:(ioctl|open|fstat|stat|__fxstat|__xstat) \[.*libbench_fake_cdrom.so\]$/ {fake += count}
        END {print all, all - fake}' >"$folder/counts.$reads"
  done
  paste -d ' ' "$folder/counts.1" "$folder/counts.11" | awk '{printf "%.0f %.0f\n", ($3 - $1) / 10, ($4 - $2) / 10}'
}

if [ "$mode" = --instructions ]; then
  echo "Instructions of one read on the fake drive (callgrind): getCDDBNumbers (a whole call),"
  echo "readDisc and libdiscid, their own (the fake drive's work left out) and with the drive's:"
  printf '%-6s %10s %10s %10s %10s %10s %10s %9s %9s\n' tracks 'call own' '+drive' \
    'readDisc' '+drive' 'libdiscid' '+drive' 'ratio own' '+drive'
  for tracks in 1 22 99; do
    read -r call_all call_own <<<"$(instructions call "$tracks")"
    read -r disc_all disc_own <<<"$(instructions readDisc "$tracks")"
    read -r lib_all lib_own <<<"$(instructions libdiscid "$tracks")"
    awk -v t="$tracks" -v c="$call_own" -v C="$call_all" -v d="$disc_own" -v D="$disc_all" \
      -v l="$lib_own" -v L="$lib_all" \
      'BEGIN {printf "%-6s %10d %10d %10d %10d %10d %10d %9.2f %9.2f\n", t, c, C, d, D, l, L, c / l, C / L}'
  done
  exit 0
fi

lookup_cost() {
  echo "A MusicBrainz answer parsed as a lookup parses it (the lookup's own cost, no network):"
  java -cp "build-bench/tocmate_classes.jar:build-bench/bench/lookup_parse_cost.jar" \
    cd.lookup.LookupParseCost 25 "${TOCMATE_BENCH_RUNS:-31}"
}
if [ "$mode" = --lookup ]; then
  lookup_cost
  exit 0
fi

# median FILE: the median of the numbers in the file
median() { sort -g "$1" | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

if [ "$mode" != --processes ]; then
  version=$(sed -n 's/^project(Tocmate VERSION \([^ )]*\).*/\1/p' CMakeLists.txt)
  # One track of ten minutes: 105,840,000 bytes.
  echo "1 1 45150 150" >"$folder/audio.toc"
  bytes=105840000
  runs=${TOCMATE_BENCH_RUNS:-5}
  echo "A disc's audio, a track of ten minutes on the fake drive caching 800 sectors (its"
  echo "capabilities page says 2 MB), median of $runs runs:"
  caching=(env FAKE_CDROM_CACHE_SECTORS=800 FAKE_CDROM_READ_COUNTS="$folder/counts")
  for reading in burst secure; do
    options=()
    [ "$reading" = secure ] && options=(--secure)
    for ((run = 0; run < runs; run++)); do
      rm -rf "$folder/rip" "$folder/reads"
      start=$EPOCHREALTIME
      "${caching[@]}" FAKE_CDROM_READ_LOG="$folder/reads" bash tests/fakedrive/with_fake_drive.sh \
        "$PWD/build-bench/bench/libbench_fake_cdrom.so" "$folder/audio.toc" \
        java -jar "build-bench/tocmate-$version.jar" --rip "$folder/rip" --offline "${options[@]}" >/dev/null
      end=$EPOCHREALTIME
      echo "$(((${end/./} - ${start/./})))" >>"$folder/$reading.times"
    done
    cut -d' ' -f2 "$folder/counts" >"$folder/$reading.reads"
    awk -v t="$(median "$folder/$reading.times")" -v b="$bytes" -v m="$reading" \
      -v r="$(cat "$folder/$reading.reads")" -v s=45000 -v c="$(grep -c '^read ' "$folder/reads")" \
      'BEGIN {printf "  %-6s %6.1f MB/s (%.2f s for the whole process), %.3f disc reads a sector, %d READ CDs with C2 (%.2fx the %d of 24 sectors)\n",
        m, b / t, t / 1e6, r / s, c, c / (s / 24), s / 24}'
  done
  awk -v b="$(median "$folder/burst.times")" -v s="$(median "$folder/secure.times")" \
    -v rb="$(cat "$folder/burst.reads")" -v rs="$(cat "$folder/secure.reads")" \
    'BEGIN {printf "  secure against burst: %.2fx the time, %.2fx the disc reads\n", s / b, rs / rb}'
  # Secure with an AccurateRip answer that holds the track as the disc has it (made from a
  # burst rip's line): the track is read once, against the secure rips above.
  "${caching[@]}" bash tests/fakedrive/with_fake_drive.sh \
    "$PWD/build-bench/bench/libbench_fake_cdrom.so" "$folder/audio.toc" \
    java -jar "build-bench/tocmate-$version.jar" --accuraterip >"$folder/audio.id"
  rm -rf "$folder/rip"
  "${caching[@]}" bash tests/fakedrive/with_fake_drive.sh \
    "$PWD/build-bench/bench/libbench_fake_cdrom.so" "$folder/audio.toc" \
    java -jar "build-bench/tocmate-$version.jar" --rip "$folder/rip" --offline >"$folder/audio.lines"
  python3 tests/jvm/make_answer.py "$folder/audio.lines" "$folder/audio.id" "$folder/audio.toc" \
    "$folder/audio.ar"
  for ((run = 0; run < runs; run++)); do
    rm -rf "$folder/rip"
    "${caching[@]}" bash tests/fakedrive/with_fake_drive.sh \
      "$PWD/build-bench/bench/libbench_fake_cdrom.so" "$folder/audio.toc" \
      java -jar "build-bench/tocmate-$version.jar" --rip "$folder/rip" --offline --secure \
      --accuraterip-results "$folder/audio.ar" >/dev/null
    cut -d' ' -f2 "$folder/counts" >>"$folder/answered.reads"
    grep -q "^  Confirmed: by AccurateRip, confidence 7$" "$folder/rip/rip.log" ||
      echo "  (the secure rip with the answer was not confirmed by AccurateRip)"
  done
  awk -v a="$(median "$folder/answered.reads")" -v rs="$(cat "$folder/secure.reads")" -v s=45000 \
    'BEGIN {printf "  secure with a matching AccurateRip answer: %.3f disc reads a sector, %.2fx those without (%.3f)\n",
      a / s, a / rs, rs / s}'
  # READ CDs of a burst rip with C2 pointers (24 sectors fit 64 KB), and the disc reads of
  # a drive whose C2 pointers flag every sector, right though they are: its flags are
  # distrusted after one batch of reads again.
  for reading in burst secure; do
    options=()
    [ "$reading" = secure ] && options=(--secure)
    for ((run = 0; run < runs; run++)); do
      rm -rf "$folder/rip" "$folder/reads"
      "${caching[@]}" FAKE_CDROM_C2_FALSE=all FAKE_CDROM_READ_LOG="$folder/reads" \
        bash tests/fakedrive/with_fake_drive.sh \
        "$PWD/build-bench/bench/libbench_fake_cdrom.so" "$folder/audio.toc" \
        java -jar "build-bench/tocmate-$version.jar" --rip "$folder/rip" "${options[@]}" \
        >/dev/null 2>&1 || true
      cut -d' ' -f2 "$folder/counts" >>"$folder/flagged-$reading.reads"
      grep -c '^read ' "$folder/reads" >>"$folder/flagged-$reading.commands"
    done
    awk -v r="$(median "$folder/flagged-$reading.reads")" -v s=45000 -v m="$reading" \
      -v c="$(median "$folder/flagged-$reading.commands")" 'BEGIN {
      printf "  every sector flagged, %-6s %.3f disc reads a sector, %d READ CDs (%.2fx the %d of 24 sectors)\n",
        m, r / s, c, c / (s / 24), s / 24}'
  done
  # Three tracks of 2:00, 2:30 and 3:00 read by a drive of offset +667; the answer's frame-450
  # checksums are the fake drive's samples, by its rule, at offset 0.
  echo "1 3 33900 150 9150 20400" >"$folder/offset.toc"
  ids=$(bash tests/fakedrive/with_fake_drive.sh "$PWD/build-bench/bench/libbench_fake_cdrom.so" \
    "$folder/offset.toc" java -jar "build-bench/tocmate-$version.jar" --accuraterip | sed -n 1p)
  python3 - "$ids" "$folder/answer.bin" <<'ANSWER'
import struct, sys
ids = sys.argv[1].split("-")
answer = struct.pack("<B3I", 3, *(int(part, 16) for part in ids[1:]))
for start in (0, 9000, 20250):
    first = (start + 450) * 588
    frame = sum((i + 1) * ((first + i) * 2654435761 + 12345) for i in range(588)) & 0xFFFFFFFF
    answer += struct.pack("<BII", 1, 0, frame)
open(sys.argv[2], "wb").write(answer)
ANSWER
  read -r _ search_ms search_sectors offset _ track_ms track_sectors < <(FAKE_CDROM_READ_OFFSET=667 \
    FAKE_CDROM_READ_COUNTS="$folder/counts" bash tests/fakedrive/with_fake_drive.sh \
    "$PWD/build-bench/bench/libbench_fake_cdrom.so" "$folder/offset.toc" java -cp \
    "build-bench/tocmate-$version.jar:build-bench/bench/offset_search_time.jar" OffsetSearchTime \
    "$folder/answer.bin" "$runs" 2>&1)
  awk -v sm="$search_ms" -v ss="$search_sectors" -v o="$offset" -v tm="$track_ms" \
    -v ts="$track_sectors" 'BEGIN {
    printf "  read offset found (%+d): %.2f ms, %d sectors; track 1 read once: %.2f ms, %d sectors\n", o, sm, ss, tm, ts;
    printf "  one candidate offset read as a track costs %.1fx the whole search (%.1fx its sectors);\n", tm / sm, ts / ss;
    printf "  the 11,761 candidates the search covers (5,880 samples either way) %.0fx\n", 11761 * tm / sm}'

  wave=$folder/rip/track01.wav
  ours=$(build-bench/bench/checksum_cost "$wave" | cut -d' ' -f1)
  TIMEFORMAT='%U %S'
  for checksum in 1 2; do
    for ((run = 0; run < runs; run++)); do
      { time accuraterip-checksum --accuraterip-v$checksum "$wave" 1 1 >/dev/null; } 2>&1 |
        awk -v b="$bytes" '{printf "%.3f\n", ($1 + $2) * 1000 / (b / 1048576)}' >>"$folder/v$checksum.cpu"
    done
  done
  awk -v o="$ours" -v p1="$(median "$folder/v1.cpu")" -v p2="$(median "$folder/v2.cpu")" 'BEGIN {
    printf "  checksums: v1, v2 and CRC-32 in one pass %.3f ms of processor time a MB;\n", o;
    printf "  accuraterip-checksum (one version a run, the whole process): v1 %.3f, v2 %.3f ms a MB (%.1fx, %.1fx ours)\n", p1, p2, p1 / o, p2 / o}'
  # The same track ripped to FLAC against a WAVE rip followed by flac -5 on its file, the two
  # taking turns in each run; and the FLAC file's size against flac -5's.
  for ((run = 0; run < runs; run++)); do
    rm -rf "$folder/wave-then-flac" "$folder/flac"
    start=$EPOCHREALTIME
    "${caching[@]}" bash tests/fakedrive/with_fake_drive.sh \
      "$PWD/build-bench/bench/libbench_fake_cdrom.so" "$folder/audio.toc" \
      java -jar "build-bench/tocmate-$version.jar" --rip "$folder/wave-then-flac" >/dev/null
    flac -5 -s "$folder/wave-then-flac/track01.wav"
    middle=$EPOCHREALTIME
    "${caching[@]}" bash tests/fakedrive/with_fake_drive.sh \
      "$PWD/build-bench/bench/libbench_fake_cdrom.so" "$folder/audio.toc" \
      java -jar "build-bench/tocmate-$version.jar" --rip "$folder/flac" --format flac >/dev/null
    end=$EPOCHREALTIME
    echo "$(((${middle/./} - ${start/./})))" >>"$folder/wave-then-flac.times"
    echo "$(((${end/./} - ${middle/./})))" >>"$folder/flac.times"
  done
  awk -v w="$(median "$folder/wave-then-flac.times")" -v f="$(median "$folder/flac.times")" \
    -v fs="$(stat -c %s "$folder/flac/track01.flac")" \
    -v rs="$(stat -c %s "$folder/wave-then-flac/track01.flac")" 'BEGIN {
    printf "  --format flac %.2f s, a WAVE rip and flac -5 on it %.2f s: %.2fx the time;", f / 1e6, w / 1e6, f / w;
    printf " %d bytes against flac -5'"'"'s %d (%.4fx)\n", fs, rs, fs / rs}'
  guest=${TOCMATE_CDEMU_GUEST:-/var/cache/tocmate/trixie-cdemu}
  if [ -f "$guest/made" ]; then
    mkdir -p "$folder/guest/images" "$folder/guest/out"
    cp "build-bench/tocmate-$version.jar" "$folder/guest/tocmate.jar"
    cp build-bench/bench/audio_read_time.jar tests/cdemu/steps.sh "$folder/guest/"
    mv "$folder/guest/steps.sh" "$folder/guest/run.sh"
    python3 tests/cdemu/audio_image.py "$folder/guest/images" >/dev/null
    chmod -R a+rwX "$folder/guest"
    # cdparanoia reading track 2 of audio.cue (12 seconds, 2,116,800 bytes) once, then
    # timed RUNS times.
    cat >"$folder/guest/paranoia.sh" <<'PARANOIA'
cdparanoia -Z -q -r -d /dev/sr0 2 - >/dev/null
for ((i = 0; i < $1; i++)); do
  start=$EPOCHREALTIME
  cdparanoia -Z -q -r -d /dev/sr0 2 - >/dev/null
  end=$EPOCHREALTIME
  echo $(((${end/./} - ${start/./}) / 1000))
done
PARANOIA
    cat >"$folder/guest/steps.sh" <<STEPS
load images/audio.cue
run java java -cp tocmate.jar:audio_read_time.jar AudioReadTime /dev/sr0 2 $runs
run paranoia bash paranoia.sh $runs
STEPS
    if bash tests/cdemu/guest.sh run "$guest" "$folder/guest" >/dev/null; then
      java_ms=$(cut -d' ' -f1 "$folder/guest/out/java.out")
      paranoia_ms=$(sort -n "$folder/guest/out/paranoia.out" | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')
      awk -v j="$java_ms" -v p="$paranoia_ms" -v a="$(cat "$guest/accelerator")" 'BEGIN {
        printf "  in the CDEmu guest (%s), a track of 12 s: DiscAudio %d ms, cdparanoia -Z %d ms (%.2fx DiscAudio)\n", a, j, p, p / j}'
    else
      echo "  the CDEmu guest did not run: $(tail -3 "$folder/guest/guest.log" 2>/dev/null)"
    fi
  fi
  echo
  [ "$mode" = --audio ] && exit 0

  lookup_cost
  echo

  echo "Reads of a drive, $(nproc) cores, $(uname -r):"
  "${fake_drive[@]}" build-bench/bench/drive_read_cost "$discs"

  echo
  echo "A disc's layout, the drive taking 0.5 ms a command:"
  "${fake_drive[@]}" FAKE_CDROM_LATENCY_US=500 build-bench/bench/layout_scan_cost

  echo
  echo "Calls on table-of-contents files:"
  TOCMATE_BENCH_DISCS=$discs build-bench/bench/call_cost --benchmark_repetitions=9 \
    --benchmark_report_aggregates_only=true --benchmark_display_aggregates_only=true 2>&1 |
    grep -E '^Benchmark|_median'
  for disc in single-track 22-tracks 99-tracks; do
    TOCMATE_DRIVE=$discs/$disc.toc java -Djava.library.path=build-bench:build-bench/bench \
      -cp build-bench/tocmate_classes.jar:build-bench/bench/java_call_cost.jar JavaCallCost
  done
  echo
fi

runs=${TOCMATE_BENCH_RUNS:-15}
version=$(sed -n 's/^project(Tocmate VERSION \([^ )]*\).*/\1/p' CMakeLists.txt)
bench=build-bench/bench
# The 22-track disc in the fake drive, answering at once; the loader's copy in a fresh cache.
fake=(env LD_PRELOAD="$PWD/$bench/libbench_fake_cdrom.so" FAKE_CDROM_DEVICE="$folder/sr0"
  FAKE_CDROM_TOC="$(sed 's/#.*//' "$discs/22-tracks.toc" | xargs)" XDG_CACHE_HOME="$folder/cache")
declare -A commands=(
  [empty]="java -cp $bench/whole_process.jar EmptyProgram"
  [jar]="java -jar build-bench/tocmate-$version.jar --musicbrainz --drive $folder/sr0"
  [disc]="java -cp build-bench/tocmate-$version.jar:$bench/whole_process.jar FirstDiscId $folder/sr0"
  [jna]="java -cp /usr/share/java/jna.jar:$bench/whole_process.jar JnaDiscId $folder/sr0"
)
names=(empty jar disc jna)
if [ -n "${TOCMATE_BENCH_BEFORE:-}" ]; then
  commands[jar-before]="java -jar $TOCMATE_BENCH_BEFORE --musicbrainz --drive $folder/sr0"
  commands[disc-before]="java -cp $TOCMATE_BENCH_BEFORE:$bench/whole_process.jar FirstDiscId"
  commands[disc-before]+=" $folder/sr0"
  names+=(jar-before disc-before)
fi
# time_run NAME: runs it once; its wall time in microseconds in $elapsed, its output in $output
time_run() {
  local start=$EPOCHREALTIME
  # shellcheck disable=SC2086 # split into arguments on purpose
  output=$("${fake[@]}" ${commands[$1]}) || { echo "$1 failed: $output" >&2; exit 1; }
  local end=$EPOCHREALTIME
  elapsed=$(((${end/./} - ${start/./})))
}
# summary FILE: "median min-max" of the numbers in the file
summary() {
  sort -n "$1" | awk '{v[NR] = $1} END {printf "%d %d-%d", v[int((NR + 1) / 2)], v[1], v[NR]}'
}
for name in "${names[@]}"; do time_run "$name"; done  # warm: the copy made, files cached
for ((run = 0; run < runs; run++)); do
  for name in "${names[@]}"; do
    time_run "$name"
    echo "$elapsed" >>"$folder/$name.times"
    if [ "${name%-before}" = disc ]; then
      read -r _ wall on_cpu <<<"$output"
      echo "$wall" >>"$folder/first-id${name#disc}.times"
      echo "$on_cpu" >>"$folder/first-id-on-cpu${name#disc}.times"
    fi
  done
done
read -r empty _ <<<"$(summary "$folder/empty.times")"
echo "Whole processes on the fake drive (22 tracks), median of $runs runs (min-max), ms:"
for name in "${names[@]}"; do
  read -r median range <<<"$(summary "$folder/$name.times")"
  awk -v name="$name" -v m="$median" -v r="$range" -v e="$empty" -v c="${commands[$name]}" \
    'BEGIN {split(r, b, "-"); printf "  %-11s %6.1f (%.1f-%.1f)  %.2fx the empty program  %s\n",
      name, m / 1000, b[1] / 1000, b[2] / 1000, m / e, c}'
done
read -r disc _ <<<"$(summary "$folder/disc.times")"
read -r jna _ <<<"$(summary "$folder/jna.times")"
for jar in "" -before; do
  [ -e "$folder/first-id$jar.times" ] || continue
  read -r first range <<<"$(summary "$folder/first-id$jar.times")"
  read -r on_cpu cpu_range <<<"$(summary "$folder/first-id-on-cpu$jar.times")"
  awk -v f="$first" -v r="$range" -v c="$on_cpu" -v cr="$cpu_range" -v jar="${jar:+ (${jar#-})}" '
    BEGIN {split(r, b, "-"); split(cr, cb, "-");
    printf "The first Disc.read(drive).getMusicBrainzId() from the start of main%s:", jar;
    printf " %.1f ms (%.1f-%.1f),", f / 1000, b[1] / 1000, b[2] / 1000;
    printf " of which on a processor %.1f ms (%.1f-%.1f)\n", c / 1000, cb[1] / 1000, cb[2] / 1000}'
done
