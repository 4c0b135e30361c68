#include "AudioChecksums.h"

#include "Frames.h"

namespace {

constexpr std::uint64_t kFirstSkipped = 5 * kSamplesPerFrame - 1;
constexpr std::uint64_t kLastSkipped = 5 * kSamplesPerFrame;

}  // namespace

AudioChecksums::AudioChecksums(std::uint64_t trackSamples, bool firstTrack, bool lastTrack)
    : countedFrom(firstTrack ? kFirstSkipped : 0),
      countedUntil(!lastTrack                    ? trackSamples
                   : trackSamples > kLastSkipped ? trackSamples - kLastSkipped
                                                 : 0) {}

void AudioChecksums::add(const std::uint8_t* samples, std::size_t size) {
  crc.add(samples, size);
  for (std::size_t i = 0; i + kBytesPerSample <= size; i += kBytesPerSample, ++position) {
    if (position < countedFrom || position >= countedUntil) continue;
    const std::uint32_t sample = std::uint32_t{samples[i]} | std::uint32_t{samples[i + 1]} << 8 |
                                 std::uint32_t{samples[i + 2]} << 16 |
                                 std::uint32_t{samples[i + 3]} << 24;
    const std::uint64_t product = std::uint64_t{sample} * (position + 1);
    v1 += static_cast<std::uint32_t>(product);
    v2 += static_cast<std::uint32_t>(product) + static_cast<std::uint32_t>(product >> 32);
  }
}
