// What one native call costs through our MCI layer: drive creation, every command, the text
// and deletion, for discs of 1, 20 and 99 tracks in (page-cached) table-of-contents files;
// and, for comparison, reading such a file alone, which every open does. The discs are the
// files <tracks>.toc in the folder TOCMATE_BENCH_DISCS names.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "../tests/unit/JniCall.h"
#include "TocFile.h"

namespace {

// The disc of `tracks` tracks that scripts/bench.sh wrote for this run.
std::string discFile(int tracks) {
  const char* folder = std::getenv("TOCMATE_BENCH_DISCS");
  return std::string(folder != nullptr ? folder : ".") + "/" + std::to_string(tracks) + ".toc";
}

void wholeCall(benchmark::State& state, NativeMethod method) {
  const std::string path = discFile(static_cast<int>(state.range(0)));
  setenv("TOCMATE_DRIVE", path.c_str(), 1);
  for (auto _ : state) benchmark::DoNotOptimize(callNative(method));
  if (callNative(method)[0] == ' ') state.SkipWithError("the disc was not read");
}

void getCDDBNumbers(benchmark::State& state) { wholeCall(state, Java_cd_Tocmate_getCDDBNumbers); }
void getTrackLengths(benchmark::State& state) { wholeCall(state, Java_cd_Tocmate_getTrackLengths); }

void readTocFileAlone(benchmark::State& state) {
  const std::string path = discFile(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(readTocFile(path));
  if (!std::holds_alternative<TableOfContents>(readTocFile(path))) {
    state.SkipWithError("the disc was not read");
  }
}

}  // namespace

BENCHMARK(getCDDBNumbers)->Arg(1)->Arg(20)->Arg(99);
BENCHMARK(getTrackLengths)->Arg(1)->Arg(20)->Arg(99);
BENCHMARK(readTocFileAlone)->Arg(1)->Arg(20)->Arg(99);

BENCHMARK_MAIN();
