#pragma once

#include <cstdint>
#include <optional>

#include "Frames.h"

// What is taken of a drive's cache of audio. MMC has no command that turns it off, and
// drives do not say whether they cache audio: the buffer size of their capabilities page
// under-reports often (0, a small part of it, or nothing), so no figure below the largest
// common cache, 8 MB, is believed; only a caller's own figure (setCacheSize) goes lower.
constexpr std::uint32_t kCacheFloorKilobytes = 8192;
// The most a caller may say a cache holds, and the most a drive's word is taken for.
constexpr std::uint32_t kMostCacheKilobytes = 65536;

// The cache a drive is taken to have, in KB: what it reports, at least the floor and at
// most kMostCacheKilobytes; the floor where it reports nothing.
inline std::uint32_t estimatedCacheKilobytes(std::optional<std::uint32_t> reported) {
  if (!reported || *reported < kCacheFloorKilobytes) return kCacheFloorKilobytes;
  return *reported > kMostCacheKilobytes ? kMostCacheKilobytes : *reported;
}

// The sectors of audio that `kilobytes` hold, rounded up.
inline std::uint32_t cacheSectorsOf(std::uint32_t kilobytes) {
  return static_cast<std::uint32_t>((std::uint64_t{kilobytes} * 1024 + kAudioFrameBytes - 1) /
                                    kAudioFrameBytes);
}
