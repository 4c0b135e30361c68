#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "CueSheet.h"
#include "TableOfContents.h"

// Frames from the end of one session's audio to the next session's first track: the first
// session's lead-out (6750), the second's lead-in (4500) and its first pregap (150).
constexpr std::uint32_t kSessionGapFrames = 11400;

// A run of a file's sectors on the disc. What no run covers (PREGAP silence, a session's gap)
// reads as silence.
struct ImageRun {
  std::uint32_t start = 0;   // its first sector, as a logical block address
  std::uint32_t frames = 0;  // its length in sectors
  std::size_t file = 0;
  std::uint32_t fileFrame = 0;  // where it starts in its file, in sectors
};

// Where a track's index points lie, as logical block addresses: its pregap's start (its
// INDEX 01 where it has none), then INDEX 01, 02 and on.
struct TrackMarks {
  std::uint32_t pregapStart = 0;
  std::vector<std::uint32_t> indexes;
};

struct CueLayout {
  TableOfContents toc;
  std::vector<TrackMarks> marks;  // a track each, in order
  std::vector<ImageRun> runs;     // in disc order
};

// Lays the sheet's files on a disc one after the other, the silence of each PREGAP (and the
// gap before a later session) between them: a track starts at its INDEX 01, the lead-out
// follows the last file's last sector. `fileFrames` gives each file's length in sectors.
// A problem names the sheet's line it lies on.
std::variant<CueLayout, CueProblem> layOut(const CueSheet& sheet,
                                           const std::vector<std::uint32_t>& fileFrames);
