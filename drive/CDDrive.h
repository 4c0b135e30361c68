#pragma once

#include <cstdint>

// One track of a disc's table of contents, in frames (1/75 s).
struct TrackInfo {
  std::uint32_t startFrames;   // absolute start address, lead-in included
  std::uint32_t lengthFrames;  // the reported length plus one frame
  std::int32_t lengthSeconds;  // whole seconds of the reported length, frames dropped
};

// A disc's table of contents. Implementations read the whole table when they are
// created; every operation here is a plain read of what they hold.
class CDDrive {
 public:
  // Zero means that no table of contents is available. The other operations take
  // only indexes below this count and do not check them.
  virtual std::uint32_t getTrackCount() const = 0;
  virtual std::uint32_t getTrackStart(std::uint32_t index) const = 0;
  virtual std::uint32_t getTrackLength(std::uint32_t index) const = 0;
  virtual std::int32_t getTrackSeconds(std::uint32_t index) const = 0;
  virtual ~CDDrive() = default;
};
