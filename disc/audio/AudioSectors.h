#pragma once

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
};
