#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "AudioSectors.h"
#include "DiscFailure.h"
#include "SectorVotes.h"

// What reading a track's sectors met.
struct SettlingReport {
  std::uint32_t rereads = 0;               // sectors that needed more than the mode's reads
  std::vector<std::uint32_t> unreadable;   // no read returned them: silence
  std::vector<std::uint32_t> unconfirmed;  // no value came often enough: the latest read
  std::vector<std::uint32_t> c2Flagged;    // the drive's C2 pointers flagged a read of them
};

// A track's sectors read so that a drive's cache can not fool a comparison.
//
// Burst mode reads each sector once; one that fails (MEDIUM ERROR) is read again alone, up
// to four reads, and one the drive's C2 pointers flag is read again as in secure mode.
//
// Secure mode reads the track in windows of at least twice the cache, each window twice:
// sequential passes over such a window leave nothing of it in an LRU or read-ahead cache,
// so the second pass comes from the disc (a window shorter than that is followed by reads
// elsewhere before its second pass). Only a hash of the first pass is kept; the second
// streams out. A sector whose passes differ, failed or were flagged is read again, alone,
// after reads elsewhere have pushed the cache out, until one value has come twice (see
// SectorVotes), up to sixteen reads; what never agrees is kept as last read and reported.
class SettledSectors {
 public:
  // `first` to `end` the sectors the track needs, all before `readableEnd`.
  SettledSectors(AudioSectors& drive, std::uint32_t first, std::uint32_t end,
                 std::uint32_t readableEnd, bool secure, std::uint32_t cacheSectors);

  // Fills `out` with `count` settled sectors from `lba`; reads go forward, a sector of the
  // previous call may be asked again.
  std::optional<DiscFailure> read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out);

  const SettlingReport& report() const { return found; }

 private:
  // One read of each sector of a stretch: `arrived` and `flagged` a byte a sector. A failed
  // command of many sectors is read again sector by sector.
  std::optional<DiscFailure> readOnce(std::uint32_t lba, std::uint32_t count, std::uint8_t* out);
  std::optional<DiscFailure> firstPass(std::uint32_t lba);
  // Second pass (or burst read) of sectors in one window.
  std::optional<DiscFailure> readStretch(std::uint32_t lba, std::uint32_t count, std::uint8_t* out);
  struct Pending {
    std::uint32_t lba;
    std::uint8_t* out;
    SectorVotes votes;
  };
  std::optional<DiscFailure> settle(std::vector<Pending>& pending);
  // Reads a cache's worth of sectors outside `from` to `until`, where the disc has them.
  void pushCache(std::uint32_t from, std::uint32_t until);

  AudioSectors& drive;
  std::uint32_t first;
  std::uint32_t end;
  std::uint32_t readableEnd;
  bool secure;
  std::uint32_t cacheSectors;
  std::uint32_t windowSize;
  std::uint32_t windowStart = 0;
  std::uint32_t windowEnd = 0;  // none yet
  // The first pass over the window: a sector's hash, whether it arrived and was flagged.
  std::vector<std::uint64_t> firstHashes;
  std::vector<std::uint8_t> firstArrived;
  std::vector<std::uint8_t> firstFlagged;
  // One stretch's read.
  std::vector<std::uint8_t> block;
  std::vector<std::uint8_t> arrived;
  std::vector<std::uint8_t> flagged;
  // The previous call's sectors, for one asked again.
  std::uint32_t keptFrom = 0;
  std::vector<std::uint8_t> keptSectors;
  SettlingReport found;
};
