#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "AudioChecksums.h"
#include "AudioSectors.h"
#include "DiscFailure.h"
#include "MmcReadCd.h"
#include "TrackSpan.h"

// Reads a track's samples in order, a block of sectors at a time, never more of it in
// memory, and takes its checksums on the way.
//
// The read offset (in samples, as AccurateRip's list of drives gives it) says where the
// drive's samples lie against the disc's: the track's sample n is the drive's sample
// n + offset, which may lie in a neighbouring sector or track. Where that falls outside the
// disc's audio (before its first sector, in a data track, at or after the lead-out), the
// sample is silence: no drive reads there alike.
//
// A sector that fails (MEDIUM ERROR) is read again, alone, a few times; one that never
// arrives is silence and listed as unreadable. In secure mode every sector is read twice
// and kept once two reads agree; one whose reads keep differing is read again up to a bound,
// then kept as last read and listed as unconfirmed. A disc that goes away or a drive that
// fails ends the reading with the failure; what was handed out stays valid.
class TrackReader {
 public:
  // The most bytes one call of next() hands out.
  static constexpr std::size_t kMaxChunkBytes = std::size_t{kSectorsPerReadCd} * kAudioFrameBytes;

  TrackReader(AudioSectors& drive, const TrackSpan& span, int offsetSamples, bool secure);

  // Writes the next samples to `out`, at most `capacity` bytes (a multiple of
  // kBytesPerSample); returns their size, 0 once the track is out.
  std::variant<std::size_t, DiscFailure> next(std::uint8_t* out, std::size_t capacity);

  std::uint64_t samples() const { return totalSamples; }
  std::uint64_t samplesDone() const { return done; }
  const AudioChecksums& checksums() const { return sums; }
  // Sectors that needed more reads than the mode's one (two in secure mode) to arrive or agree.
  std::uint32_t rereadSectors() const { return rereads; }
  // The sectors, by address, that no read returned, and those whose reads never agreed.
  const std::vector<std::uint32_t>& unreadableSectors() const { return unreadable; }
  const std::vector<std::uint32_t>& unconfirmedSectors() const { return unconfirmed; }

 private:
  // Fills `out` with the sectors from `first` to before `until`, silence outside the audio.
  std::optional<DiscFailure> readBlock(std::int64_t first, std::int64_t until, std::uint8_t* out);
  // Fills `out` with `count` sectors from `lba`, all of them audio.
  std::optional<DiscFailure> readSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* out);
  // Settles one sector alone, given the reads of it so far.
  std::optional<DiscFailure> settleSector(std::uint32_t lba, std::uint8_t* out,
                                          std::vector<std::vector<std::uint8_t>> reads);

  AudioSectors& drive;
  TrackSpan span;
  std::int64_t offset;
  bool secure;
  std::uint64_t totalSamples;
  std::uint64_t done = 0;
  AudioChecksums sums;
  std::uint32_t rereads = 0;
  std::vector<std::uint32_t> unreadable;
  std::vector<std::uint32_t> unconfirmed;
  std::vector<std::uint8_t> block;   // the sectors of one call
  std::vector<std::uint8_t> second;  // their second read, in secure mode
};
