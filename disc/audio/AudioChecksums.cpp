#include "AudioChecksums.h"

#include <algorithm>

#include "Frames.h"

namespace {

constexpr std::uint64_t kFirstSkipped = 5 * kSamplesPerFrame - 1;
constexpr std::uint64_t kLastSkipped = 5 * kSamplesPerFrame;

}  // namespace

// A last track of fewer samples than the skipped region counts them all, one of exactly as
// many counts none: whipper's accuraterip-checksum takes the end as the length less the
// region in unsigned arithmetic, which wraps, and the checksums are to agree with it.
AudioChecksums::AudioChecksums(std::uint64_t trackSamples, bool firstTrack, bool lastTrack)
    : countedFrom(firstTrack ? kFirstSkipped : 0),
      countedUntil(!lastTrack || trackSamples < kLastSkipped ? trackSamples
                                                             : trackSamples - kLastSkipped) {}

void AudioChecksums::add(const std::uint8_t* samples, std::size_t size) {
  crc.add(samples, size);
  const std::uint64_t count = size / kBytesPerSample;
  // Only the samples between countedFrom and countedUntil take part in the sums.
  const std::uint64_t from = std::max(position, countedFrom);
  const std::uint64_t until = std::min(position + count, countedUntil);
  for (std::uint64_t at = from; at < until; ++at) {
    const std::uint8_t* sample = samples + (at - position) * kBytesPerSample;
    const std::uint32_t value = std::uint32_t{sample[0]} | std::uint32_t{sample[1]} << 8 |
                                std::uint32_t{sample[2]} << 16 | std::uint32_t{sample[3]} << 24;
    const std::uint64_t product = std::uint64_t{value} * (at + 1);
    v1 += static_cast<std::uint32_t>(product);
    v2 += static_cast<std::uint32_t>(product) + static_cast<std::uint32_t>(product >> 32);
  }
  position += count;
}
