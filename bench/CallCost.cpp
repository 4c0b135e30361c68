// What one native call costs through our MCI layer: drive creation, every command, the text
// and deletion, for the sample discs of 1, 22 and 99 tracks as (page-cached)
// table-of-contents files; and, for comparison, the disc reader alone (readDisc), which
// every open runs. TOCMATE_BENCH_DISCS names the folder of the sample discs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "../tests/unit/JniCall.h"
#include "DiscReader.h"

namespace {

// The sample disc of `tracks` tracks.
std::string discFile(int tracks) {
  const char* folder = std::getenv("TOCMATE_BENCH_DISCS");
  const char* name = tracks == 1 ? "single-track" : tracks == 22 ? "22-tracks" : "99-tracks";
  return std::string(folder != nullptr ? folder : ".") + "/" + name + ".toc";
}

void wholeCall(benchmark::State& state, NativeMethod method) {
  const std::string path = discFile(static_cast<int>(state.range(0)));
  setenv("TOCMATE_DRIVE", path.c_str(), 1);
  for (auto _ : state) benchmark::DoNotOptimize(callNative(method));
  if (callNative(method)[0] == ' ') state.SkipWithError("the disc was not read");
}

void getCDDBNumbers(benchmark::State& state) { wholeCall(state, Java_cd_Tocmate_getCDDBNumbers); }
void getTrackLengths(benchmark::State& state) { wholeCall(state, Java_cd_Tocmate_getTrackLengths); }

void readDiscAlone(benchmark::State& state) {
  const std::string path = discFile(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(readDisc(path));
  if (!std::holds_alternative<TableOfContents>(readDisc(path))) {
    state.SkipWithError("the disc was not read");
  }
}

}  // namespace

BENCHMARK(getCDDBNumbers)->Arg(1)->Arg(22)->Arg(99);
BENCHMARK(getTrackLengths)->Arg(1)->Arg(22)->Arg(99);
BENCHMARK(readDiscAlone)->Arg(1)->Arg(22)->Arg(99);

BENCHMARK_MAIN();
