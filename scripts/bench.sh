#!/usr/bin/env bash
# Builds the benchmarks optimised and prints what a call costs, as medians: in C++ through
# our MCI layer for discs of 1, 20 and 99 tracks, then from Java against a JNI call that
# returns a fixed text of the same length.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-deps.sh" libbenchmark-dev
cd "$here/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTOCMATE_BENCH=ON -DBUILD_TESTING=OFF \
  -DTOCMATE_CROSS_BUILDS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" >/dev/null

# Discs of three-minute tracks (shorter on the 99-track disc, to fit 99 minutes).
export TOCMATE_BENCH_DISCS
TOCMATE_BENCH_DISCS=$(mktemp -d)
trap 'rm -rf "$TOCMATE_BENCH_DISCS"' EXIT
for tracks in 1 20 99; do
  frames=$((tracks == 99 ? 4444 : 13500))
  { printf '1 %d %d' "$tracks" $((150 + tracks * frames))
    for ((t = 0; t < tracks; t++)); do printf ' %d' $((150 + t * frames)); done; } \
    >"$TOCMATE_BENCH_DISCS/$tracks.toc"
done

build-bench/bench/call_cost --benchmark_repetitions=9 --benchmark_report_aggregates_only=true \
  --benchmark_display_aggregates_only=true 2>&1 | grep -E '^Benchmark|_median'
for tracks in 1 20 99; do
  TOCMATE_DRIVE=$TOCMATE_BENCH_DISCS/$tracks.toc java -Djava.library.path=build-bench:build-bench/bench \
    -cp build-bench/tocmate_classes.jar:build-bench/bench/java_call_cost.jar JavaCallCost
done
