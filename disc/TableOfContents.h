#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Frames.h"

// The highest track number a CD can have.
constexpr unsigned kMaxTrack = 99;

// The bit of a track's CONTROL nibble that marks a data track.
constexpr std::uint8_t kDataTrackControl = 0x04;

// A disc's table of contents as a drive reports it, in absolute frames (1/75 s, the
// 150-frame lead-in included). Track numbers are the disc's own, firstTrack to lastTrack.
struct TableOfContents {
  unsigned firstTrack = 0;
  unsigned lastTrack = 0;
  std::uint32_t leadOut = 0;
  std::vector<std::uint32_t> starts;   // one per track, in track order
  std::vector<std::uint8_t> controls;  // one per track: its CONTROL nibble as the drive gives it

  unsigned trackCount() const { return lastTrack - firstTrack + 1; }
  bool hasTrack(long number) const {
    return number >= static_cast<long>(firstTrack) && number <= static_cast<long>(lastTrack);
  }
  std::uint32_t startOf(unsigned number) const { return starts[number - firstTrack]; }
  bool isData(unsigned number) const {
    return (controls[number - firstTrack] & kDataTrackControl) != 0;
  }
  // The next track's start minus this one's; the last track ends one frame before the
  // lead-out, as MCI has always answered.
  std::uint32_t lengthOf(unsigned number) const {
    return number == lastTrack ? leadOut - startOf(number) - 1
                               : startOf(number + 1) - startOf(number);
  }
};

// What is wrong with a table, and which value: 0 first track, 1 last track, 2 lead-out,
// 3 + i the start of the i-th track; -1 when no single value is to blame.
struct TocProblem {
  std::string what;
  int valueIndex;
};

// Checks what the MCI replies rely on: 1 <= first <= last <= 99, one start and one control
// nibble per track, starts rising, the lead-out after the last start and within 100 minutes.
std::optional<TocProblem> findProblem(const TableOfContents& toc);
