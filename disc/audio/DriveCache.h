#pragma once

#include <cstdint>
#include <optional>

#include "Frames.h"

// What is taken of a drive's cache of audio. MMC has no command that turns it off, and
// drives do not say whether they cache audio: the buffer size of their capabilities page is
// the estimate, within bounds, since drives report 0, a small part, or nothing.
constexpr std::uint32_t kCacheFloorKilobytes = 1024;
constexpr std::uint32_t kCacheCeilingKilobytes = 8192;
// The most a caller may say a cache holds.
constexpr std::uint32_t kMostCacheKilobytes = 65536;

// The cache a drive is taken to have, in KB: what it reports, within the floor and the
// ceiling; the ceiling where it reports nothing.
inline std::uint32_t estimatedCacheKilobytes(std::optional<std::uint32_t> reported) {
  if (!reported) return kCacheCeilingKilobytes;
  if (*reported < kCacheFloorKilobytes) return kCacheFloorKilobytes;
  return *reported > kCacheCeilingKilobytes ? kCacheCeilingKilobytes : *reported;
}

// The sectors of audio that `kilobytes` hold, rounded up.
inline std::uint32_t cacheSectorsOf(std::uint32_t kilobytes) {
  return static_cast<std::uint32_t>((std::uint64_t{kilobytes} * 1024 + kAudioFrameBytes - 1) /
                                    kAudioFrameBytes);
}
