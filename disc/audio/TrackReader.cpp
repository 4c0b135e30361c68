#include "TrackReader.h"

#include <algorithm>
#include <cstring>

namespace {

std::int64_t sectorOf(std::int64_t sample) {
  const std::int64_t frame = kSamplesPerFrame;
  return sample >= 0 ? sample / frame : -((-sample + frame - 1) / frame);
}

// The sectors a track's samples come from, at an offset, within its run of audio.
std::int64_t firstSectorRead(const TrackSpan& span, std::int64_t offset) {
  return std::max<std::int64_t>(sectorOf(std::int64_t{span.start} * kSamplesPerFrame + offset),
                                span.audio.start);
}

std::int64_t endOfSectorsRead(const TrackSpan& span, std::int64_t offset) {
  const std::int64_t last = sectorOf(std::int64_t{span.end} * kSamplesPerFrame + offset - 1);
  return std::min<std::int64_t>(last + 1, span.audio.end);
}

}  // namespace

TrackReader::TrackReader(AudioSectors& drive, const TrackSpan& span,
                         const std::vector<SectorRun>& audio, int offsetSamples, bool secure,
                         std::uint32_t cacheSectors)
    : drive(drive),
      span(span),
      offset(offsetSamples),
      totalSamples(std::uint64_t{span.end - span.start} * kSamplesPerFrame),
      sums(totalSamples, span.firstAudio, span.lastAudio),
      settled(drive, static_cast<std::uint32_t>(firstSectorRead(span, offset)),
              static_cast<std::uint32_t>(
                  std::max(endOfSectorsRead(span, offset), firstSectorRead(span, offset))),
              span.audio.end, audio, secure, cacheSectors) {}

std::variant<std::size_t, DiscFailure> TrackReader::next(std::uint8_t* out, std::size_t capacity) {
  const std::uint64_t wanted =
      std::min<std::uint64_t>(totalSamples - done, capacity / kBytesPerSample);
  if (wanted == 0) return std::size_t{0};
  // The drive's samples from `from` on, in the sectors from `first` on.
  const std::int64_t from =
      std::int64_t{span.start} * kSamplesPerFrame + static_cast<std::int64_t>(done) + offset;
  const std::int64_t first = sectorOf(from);
  const std::int64_t last = sectorOf(from + static_cast<std::int64_t>(wanted) - 1);
  const auto count =
      static_cast<std::uint32_t>(std::min<std::int64_t>(last - first + 1, kSectorsPerReadCd));
  block.assign(std::size_t{count} * kAudioFrameBytes, 0);

  // Only the sectors of the track's run of audio are read; the rest is silence.
  const std::int64_t readFrom = std::max<std::int64_t>(first, span.audio.start);
  const std::int64_t readUntil = std::min<std::int64_t>(first + count, span.audio.end);
  if (readFrom < readUntil) {
    auto failure = settled.read(static_cast<std::uint32_t>(readFrom),
                                static_cast<std::uint32_t>(readUntil - readFrom),
                                block.data() + (readFrom - first) * kAudioFrameBytes);
    if (failure) return std::move(*failure);
  }
  const std::int64_t skipped = from - first * kSamplesPerFrame;
  const auto taken = static_cast<std::size_t>(std::min<std::int64_t>(
      static_cast<std::int64_t>(wanted), std::int64_t{count} * kSamplesPerFrame - skipped));
  const std::size_t bytes = taken * kBytesPerSample;
  std::memcpy(out, block.data() + skipped * kBytesPerSample, bytes);
  sums.add(out, bytes);
  done += taken;
  return bytes;
}
