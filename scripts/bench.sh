#!/usr/bin/env bash
# Builds the benchmarks optimised and prints, as medians:
#   - reads of a CD drive (the tests' fake drive, answering at once and taking 0.5 ms a
#     command) side by side: a whole getCDDBNumbers call, the disc reader alone, and
#     libdiscid, with each ratio to libdiscid and the drive commands a read sends;
#   - what a call costs in C++ through our MCI layer for table-of-contents files of 1, 22
#     and 99 tracks, and from Java against a JNI call that returns a fixed text.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-deps.sh" libbenchmark-dev libdiscid-dev pkg-config
cd "$here/.."
"$here/build.sh" build-bench -DCMAKE_BUILD_TYPE=Release -DTOCMATE_BENCH=ON -DBUILD_TESTING=OFF \
  -DTOCMATE_CROSS_BUILDS=OFF >/dev/null
discs=$PWD/tests/discs

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
: >"$folder/sr0"
echo "Reads of a drive, $(nproc) cores, $(uname -r):"
LD_PRELOAD=$PWD/build-bench/bench/libbench_fake_cdrom.so FAKE_CDROM_DEVICE=$folder/sr0 \
  build-bench/bench/drive_read_cost "$discs"

echo
echo "Calls on table-of-contents files:"
TOCMATE_BENCH_DISCS=$discs build-bench/bench/call_cost --benchmark_repetitions=9 \
  --benchmark_report_aggregates_only=true --benchmark_display_aggregates_only=true 2>&1 |
  grep -E '^Benchmark|_median'
for disc in single-track 22-tracks 99-tracks; do
  TOCMATE_DRIVE=$discs/$disc.toc java -Djava.library.path=build-bench:build-bench/bench \
    -cp build-bench/tocmate_classes.jar:build-bench/bench/java_call_cost.jar JavaCallCost
done
