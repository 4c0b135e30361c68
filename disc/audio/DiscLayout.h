#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// What a disc's Q sub-channel says beyond its table of contents, in absolute frames (the
// 150-frame lead-in included). What could not be confirmed is unknown, never guessed.
struct TrackLayout {
  // Where the track's pregap (index 00) starts, the track's start when it has none, and its
  // length; -1 when unknown.
  std::int64_t pregapStart = -1;
  std::int64_t pregapLength = -1;
  // The starts of index 02 on, in order; empty too while unknown.
  std::vector<std::uint32_t> indexes;
  bool indexesKnown = false;
  // The CONTROL nibble of the table of contents, and the pre-emphasis bit as the track's
  // own Q frames carry it (empty when unknown).
  std::uint8_t tocControl = 0;
  std::optional<bool> qPreEmphasis;
};

struct DiscLayout {
  std::vector<TrackLayout> tracks;  // the table's tracks in order
  // The sectors before the first track (its pregap within the program area), and whether
  // they hold anything but silence: empty when unknown.
  std::uint32_t hiddenLength = 0;
  std::optional<bool> hiddenAudio;

  bool complete() const {
    for (const TrackLayout& track : tracks) {
      if (track.pregapStart < 0 || !track.indexesKnown || !track.qPreEmphasis) return false;
    }
    return hiddenAudio.has_value();
  }
};
