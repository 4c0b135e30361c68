#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "DiscFailure.h"
#include "MmcSubchannel.h"

// A sector's Q position and the block that was asked for when it came.
struct QFrame {
  std::uint32_t askedLba = 0;
  QPosition position;
};

// What one read of sectors' Q data gave: the positions of those whose Q passed its checks,
// in the order the drive sent them, or why the drive could not be asked at all.
struct QFramesRead {
  std::vector<QFrame> frames;
  std::optional<DiscFailure> failure;
};

// A drive's Q sub-channel, read a few sectors at a time by logical block address. A frame
// may come from a sector near the one asked: only the address it carries counts.
class QFrames {
 public:
  virtual ~QFrames() = default;
  virtual QFramesRead read(std::uint32_t lba, std::uint32_t count) = 0;
};
