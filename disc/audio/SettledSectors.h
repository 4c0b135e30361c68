#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "AudioSectors.h"
#include "DiscFailure.h"
#include "SectorVotes.h"
#include "TrackSpan.h"

// What reading a track's sectors met.
struct SettlingReport {
  std::uint32_t rereads = 0;               // sectors that needed more than the mode's reads
  std::vector<std::uint32_t> unreadable;   // no read returned them: silence
  std::vector<std::uint32_t> unconfirmed;  // no clear value, or one the cache may have given
  std::vector<std::uint32_t> c2Flagged;    // the drive's C2 pointers flagged a read of them
  // Secure reads of which some could have come from the drive's cache: the disc's audio
  // outside them is too short to push it out.
  bool cacheNotPushed = false;
};

// A track's sectors read so that a drive's cache can not fool a comparison.
//
// Burst mode reads each sector once; one that fails (MEDIUM ERROR) is read again alone, up
// to four reads, and one the drive's C2 pointers flag is settled as in secure mode.
//
// Secure mode reads the track in windows of at least twice the cache, each window twice:
// sequential passes over such a window leave nothing of it in an LRU or read-ahead cache,
// so the second pass comes from the disc (a window shorter than that is followed by a
// cache's worth of reads elsewhere). A FUA drop goes before every second pass and every
// read again, but nothing relies on it. Only a hash of the first pass is kept; the second
// streams out. Sectors whose passes differ, failed or were flagged are read again together,
// after one push of the cache per batch, until SectorVotes keeps a value, up to sixteen
// reads; what never settles is kept as last read and reported. Where the disc's audio is
// too short to push the cache out, the sectors read are reported unconfirmed.
//
// C2 flags that re-reads keep contradicting (the reads agree) make the drive's flags
// distrusted for the rest of the disc (AudioSectors::distrustC2): a drive flagging every
// sector then costs a batch of re-reads, not a push per block.
class SettledSectors {
 public:
  // `first` to `end` the sectors the track needs, all before `readableEnd`; `audio` every run
  // of audio on the disc, where reads may push the cache out.
  SettledSectors(AudioSectors& drive, std::uint32_t first, std::uint32_t end,
                 std::uint32_t readableEnd, std::vector<SectorRun> audio, bool secure,
                 std::uint32_t cacheSectors);

  // Fills `out` with `count` settled sectors from `lba`; reads go forward, sectors of the
  // previous stretch may be asked again.
  std::optional<DiscFailure> read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out);

  const SettlingReport& report() const { return found; }

 private:
  // One read of each sector of a stretch: `arrived` and `flagged` a byte a sector. A failed
  // command of many sectors is read again sector by sector.
  std::optional<DiscFailure> readOnce(std::uint32_t lba, std::uint32_t count, std::uint8_t* out);
  std::optional<DiscFailure> firstPass(std::uint32_t lba);
  // Second pass (or burst read) of a stretch into `kept`.
  std::optional<DiscFailure> readStretch(std::uint32_t lba, std::uint32_t count);
  struct Pending {
    std::uint32_t lba;
    std::uint8_t* out;
    SectorVotes votes;
  };
  // Sectors of the window after `from` whose first read failed or was flagged: read again with
  // the stretch's, so that one push serves them all.
  void addAhead(std::uint32_t from, std::vector<Pending>& pending);
  std::optional<DiscFailure> settle(std::vector<Pending>& pending);
  bool flagsTrusted() const { return drive.givesC2() && !drive.c2Distrusted(); }
  // Reads a cache's worth of audio outside `from` to `until` and away from it by the reach
  // of read-ahead; false where the disc's audio does not hold that much.
  bool pushCache(std::uint32_t from, std::uint32_t until);
  // Counts the flags that settled sectors confirmed or contradicted, and distrusts a drive
  // whose flags are mostly contradicted.
  void weighFlags(const SectorVotes& votes);

  AudioSectors& drive;
  std::uint32_t first;
  std::uint32_t end;
  std::uint32_t readableEnd;
  std::vector<SectorRun> audio;
  bool secure;
  std::uint32_t cacheSectors;
  std::uint32_t windowSize;
  std::uint32_t windowStart = 0;
  std::uint32_t windowEnd = 0;  // none yet
  bool windowPushed = true;     // whether the window's second pass comes from the disc
  // The first pass over the window: a sector's hash, whether it arrived and was flagged.
  std::vector<std::uint64_t> firstHashes;
  std::vector<std::uint8_t> firstArrived;
  std::vector<std::uint8_t> firstFlagged;
  // Sectors of the window settled ahead of its second pass, and their samples.
  std::vector<std::uint32_t> aheadSectors;
  std::vector<std::uint8_t> aheadSamples;
  // One stretch's read.
  std::vector<std::uint8_t> block;
  std::vector<std::uint8_t> arrived;
  std::vector<std::uint8_t> flagged;
  // The latest stretch's settled sectors, from which the caller's calls are served.
  std::uint32_t keptFrom = 0;
  std::vector<std::uint8_t> keptSectors;
  unsigned flagsConfirmed = 0;
  unsigned flagsContradicted = 0;
  SettlingReport found;
};
