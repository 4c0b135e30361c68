#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

#include "DiscFailure.h"

// How a read of audio sectors ended.
struct SectorsRead {
  enum class Status {
    kRead,       // every sector arrived
    kBadSector,  // the drive could not read a sector of them (MEDIUM ERROR): worth retrying
    kRefused,    // the platform passes this drive no command of this kind: `failure` says so
    kFailed,     // the disc is gone or the drive failed: `failure` says how
  };
  Status status = Status::kFailed;
  std::optional<DiscFailure> failure;
};

// A drive's audio, read as whole sectors of CD-DA (kAudioFrameBytes each) by logical block
// address. One implementation a way of reading (MMC READ CD, Windows' raw read).
class AudioSectors {
 public:
  virtual ~AudioSectors() = default;

  // Reads `count` sectors from `lba` into `out`, which holds count * kAudioFrameBytes bytes;
  // any count, split as the drive needs.
  virtual SectorsRead read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) = 0;

  // Reads as read() does, and marks in `flagged` (a byte a sector) those the drive's C2
  // error pointers flag: 1 where any byte of the sector is flagged. All 0 from a drive that
  // gives no pointers.
  virtual SectorsRead readFlagged(std::uint32_t lba, std::uint32_t count, std::uint8_t* out,
                                  std::uint8_t* flagged) {
    std::fill(flagged, flagged + count, std::uint8_t{0});
    return read(lba, count, out);
  }

  // Whether readFlagged's flags come from the drive: known once it has been called.
  virtual bool givesC2() const { return false; }

  // Stops trusting the drive's C2 pointers, for as long as it is open: their flags were
  // contradicted by reads that agreed. readFlagged flags nothing from then on.
  virtual void distrustC2() {}
  virtual bool c2Distrusted() const { return false; }

  // The buffer size the drive reports, in KB; empty where it says nothing.
  virtual std::optional<std::uint32_t> reportedBufferKilobytes() { return std::nullopt; }

  // Asks the drive to drop what its cache holds of `lba`. Many drives accept the request
  // and keep the cache: nothing may rely on it.
  virtual void dropCached(std::uint32_t /*lba*/) {}
};
