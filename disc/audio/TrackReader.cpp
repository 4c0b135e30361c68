#include "TrackReader.h"

#include <algorithm>
#include <cstring>

namespace {

// Reads of one sector that failed with a MEDIUM ERROR, all told, before it counts as
// unreadable; reads in secure mode before one whose reads differ counts as unconfirmed.
constexpr unsigned kMaxReads = 4;
constexpr unsigned kMaxSecureReads = 10;

std::int64_t sectorOf(std::int64_t sample) {
  const std::int64_t frame = kSamplesPerFrame;
  return sample >= 0 ? sample / frame : -((-sample + frame - 1) / frame);
}

bool sameSector(const std::uint8_t* a, const std::uint8_t* b) {
  return std::memcmp(a, b, kAudioFrameBytes) == 0;
}

}  // namespace

TrackReader::TrackReader(AudioSectors& drive, const TrackSpan& span, int offsetSamples, bool secure)
    : drive(drive),
      span(span),
      offset(offsetSamples),
      secure(secure),
      totalSamples(std::uint64_t{span.end - span.start} * kSamplesPerFrame),
      sums(totalSamples, span.firstAudio, span.lastAudio) {}

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

  if (auto failure = readBlock(first, first + count, block.data())) return std::move(*failure);
  const std::int64_t skipped = from - first * kSamplesPerFrame;
  const auto taken = static_cast<std::size_t>(std::min<std::int64_t>(
      static_cast<std::int64_t>(wanted), std::int64_t{count} * kSamplesPerFrame - skipped));
  const std::size_t bytes = taken * kBytesPerSample;
  std::memcpy(out, block.data() + skipped * kBytesPerSample, bytes);
  sums.add(out, bytes);
  done += taken;
  return bytes;
}

std::optional<DiscFailure> TrackReader::readBlock(std::int64_t first, std::int64_t until,
                                                  std::uint8_t* out) {
  for (const SectorRun& run : span.audio) {
    const std::int64_t from = std::max<std::int64_t>(first, run.start);
    const std::int64_t to = std::min<std::int64_t>(until, run.end);
    if (from >= to) continue;
    auto failure =
        readSectors(static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to - from),
                    out + (from - first) * kAudioFrameBytes);
    if (failure) return failure;
  }
  return std::nullopt;
}

std::optional<DiscFailure> TrackReader::readSectors(std::uint32_t lba, std::uint32_t count,
                                                    std::uint8_t* out) {
  const SectorsRead read = drive.read(lba, count, out);
  if (read.failure) return read.failure;
  SectorsRead again{SectorsRead::Status::kRead, std::nullopt};
  if (secure) {
    second.resize(std::size_t{count} * kAudioFrameBytes);
    again = drive.read(lba, count, second.data());
    if (again.failure) return again.failure;
  }
  const bool bothRead =
      read.status == SectorsRead::Status::kRead && again.status == SectorsRead::Status::kRead;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t* sector = out + std::size_t{i} * kAudioFrameBytes;
    if (bothRead && (!secure || sameSector(sector, second.data() + i * kAudioFrameBytes))) {
      continue;
    }
    std::vector<std::vector<std::uint8_t>> reads;
    if (bothRead) {
      reads.emplace_back(sector, sector + kAudioFrameBytes);
      const std::uint8_t* other = second.data() + std::size_t{i} * kAudioFrameBytes;
      reads.emplace_back(other, other + kAudioFrameBytes);
    }
    if (auto failure = settleSector(lba + i, sector, std::move(reads))) return failure;
  }
  return std::nullopt;
}

std::optional<DiscFailure> TrackReader::settleSector(std::uint32_t lba, std::uint8_t* out,
                                                     std::vector<std::vector<std::uint8_t>> reads) {
  const unsigned agreeing = secure ? 2 : 1;
  const unsigned maxReads = secure ? kMaxSecureReads : kMaxReads;
  unsigned attempts = static_cast<unsigned>(reads.size());
  std::vector<std::uint8_t> sector(kAudioFrameBytes);
  for (;;) {
    // The latest read and how many reads before it agree with it.
    if (!reads.empty()) {
      const auto& latest = reads.back();
      const auto alike = std::count_if(reads.begin(), reads.end(), [&](const auto& other) {
        return sameSector(other.data(), latest.data());
      });
      if (static_cast<unsigned>(alike) >= agreeing) {
        std::memcpy(out, latest.data(), kAudioFrameBytes);
        if (attempts > agreeing) ++rereads;
        return std::nullopt;
      }
    }
    if (attempts >= maxReads) break;
    ++attempts;
    const SectorsRead read = drive.read(lba, 1, sector.data());
    if (read.failure) return read.failure;
    if (read.status == SectorsRead::Status::kRead) reads.push_back(sector);
  }
  if (reads.empty()) {
    std::memset(out, 0, kAudioFrameBytes);
    unreadable.push_back(lba);
  } else {
    std::memcpy(out, reads.back().data(), kAudioFrameBytes);
    unconfirmed.push_back(lba);
  }
  return std::nullopt;
}
