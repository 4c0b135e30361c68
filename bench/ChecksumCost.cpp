// What the checksums of a track cost: AccurateRip v1, v2 and CRC-32 in one pass over the
// samples of a WAVE file, held in memory, as a rip takes them while it streams. Prints the
// median of 15 passes in milliseconds of processor time a megabyte (2^20 bytes).
//
// Usage: checksum_cost FILE.wav
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "AudioChecksums.h"
#include "Frames.h"

namespace {

constexpr int kPasses = 15;
constexpr long kWaveHeaderBytes = 44;

double processorSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: checksum_cost FILE.wav\n");
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr || std::fseek(file, 0, SEEK_END) != 0) return 1;
  const long size = std::ftell(file) - kWaveHeaderBytes;
  std::vector<std::uint8_t> samples(static_cast<std::size_t>(size));
  if (size <= 0 || std::fseek(file, kWaveHeaderBytes, SEEK_SET) != 0 ||
      std::fread(samples.data(), 1, samples.size(), file) != samples.size()) {
    return 1;
  }
  std::fclose(file);
  std::vector<double> perMegabyte;
  std::uint32_t keep = 0;
  for (int pass = 0; pass < kPasses; ++pass) {
    const double start = processorSeconds();
    AudioChecksums sums(samples.size() / kBytesPerSample, true, true);
    // In blocks as a rip hands them over.
    for (std::size_t at = 0; at < samples.size(); at += 26 * kAudioFrameBytes) {
      sums.add(samples.data() + at,
               std::min<std::size_t>(26 * kAudioFrameBytes, samples.size() - at));
    }
    keep ^= sums.accurateRipV1() ^ sums.accurateRipV2() ^ sums.crc32();
    perMegabyte.push_back((processorSeconds() - start) * 1000 / (samples.size() / 1048576.0));
  }
  std::sort(perMegabyte.begin(), perMegabyte.end());
  std::printf("%.3f %08X\n", perMegabyte[kPasses / 2], keep);
  return 0;
}
