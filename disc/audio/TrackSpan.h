#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "TableOfContents.h"

// A run of sectors, in logical block addresses: from `start` to the sector before `end`.
struct SectorRun {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
};

// Where one track's audio lies, in logical block addresses (absolute frames less the
// lead-in), and what the checksums need to know of its place on the disc.
struct TrackSpan {
  std::uint32_t start = 0;  // the track's first sector
  std::uint32_t end = 0;    // the sector after its last
  // The run of audio tracks this one lies in: an offset's samples outside it (before the
  // disc's start, in a data track, at or after the audio session's lead-out) are silence.
  SectorRun audio;
  bool firstAudio = false;  // the disc's first audio track
  bool lastAudio = false;   // its last
};

// The span of an audio track of `toc` that ends at `end`, in an audio session that ends at
// `audioLeadOut` (absolute frames; the last audio track ends there). Empty for a track the
// table lacks, a data track, or an end that does not fit the table.
std::optional<TrackSpan> trackSpan(const TableOfContents& toc, unsigned track, std::uint32_t end,
                                   std::uint32_t audioLeadOut);

// Every run of audio tracks of `toc` up to the audio session's lead-out (absolute frames), in
// order: where reads may push a drive's cache out without leaving the audio.
std::vector<SectorRun> audioRuns(const TableOfContents& toc, std::uint32_t audioLeadOut);
