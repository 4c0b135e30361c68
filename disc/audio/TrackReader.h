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
#include "SettledSectors.h"
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
// The sectors are read and settled as SettledSectors says (burst or secure, with the drive's
// C2 pointers where it gives them): one that never arrives is silence and listed as
// unreadable, one whose reads never agree is kept as last read and listed as unconfirmed.
// A disc that goes away or a drive that fails ends the reading with the failure; what was
// handed out stays valid.
class TrackReader {
 public:
  // The most bytes one call of next() hands out.
  static constexpr std::size_t kMaxChunkBytes = std::size_t{kSectorsPerReadCd} * kAudioFrameBytes;

  // `cacheSectors`: what the drive's cache is taken to hold (see DriveCache.h); `audio`: the
  // disc's runs of audio (audioRuns), where reads may push the cache out.
  TrackReader(AudioSectors& drive, const TrackSpan& span, const std::vector<SectorRun>& audio,
              int offsetSamples, bool secure, std::uint32_t cacheSectors);

  // Writes the next samples to `out`, at most `capacity` bytes (a multiple of
  // kBytesPerSample); returns their size, 0 once the track is out.
  std::variant<std::size_t, DiscFailure> next(std::uint8_t* out, std::size_t capacity);

  std::uint64_t samples() const { return totalSamples; }
  std::uint64_t samplesDone() const { return done; }
  const AudioChecksums& checksums() const { return sums; }
  // Sectors that needed more reads than the mode's one (two in secure mode) to arrive or agree.
  std::uint32_t rereadSectors() const { return settled.report().rereads; }
  // The sectors, by address, that no read returned, those whose reads never agreed clearly or
  // may have come from the cache, and
  // those the drive's C2 pointers flagged.
  const std::vector<std::uint32_t>& unreadableSectors() const {
    return settled.report().unreadable;
  }
  const std::vector<std::uint32_t>& unconfirmedSectors() const {
    return settled.report().unconfirmed;
  }
  const std::vector<std::uint32_t>& c2Sectors() const { return settled.report().c2Flagged; }
  // Whether some secure reads could have come from the drive's cache (see SettledSectors).
  bool cacheNotPushed() const { return settled.report().cacheNotPushed; }
  // Whether the drive gave C2 pointers.
  bool c2Used() const { return drive.givesC2(); }

 private:
  AudioSectors& drive;
  TrackSpan span;
  std::int64_t offset;
  std::uint64_t totalSamples;
  std::uint64_t done = 0;
  AudioChecksums sums;
  SettledSectors settled;
  std::vector<std::uint8_t> block;  // the sectors of one call
};
