#include "TrackSpan.h"

#include <algorithm>

#include "Frames.h"

namespace {

// The audio tracks around `track` up to the audio session's lead-out, with no data track
// between them; from the disc's start when they begin with its first track, whose pregap
// holds audio too.
SectorRun audioAround(const TableOfContents& toc, unsigned track, std::uint32_t audioLeadOut) {
  unsigned from = track;
  while (from > toc.firstTrack && !toc.isData(from - 1) && toc.startOf(from - 1) >= kLeadInFrames) {
    --from;
  }
  unsigned to = track;
  while (to < toc.lastTrack && !toc.isData(to + 1) && toc.startOf(to + 1) < audioLeadOut) ++to;
  const std::uint32_t end =
      to < toc.lastTrack ? std::min(toc.startOf(to + 1), audioLeadOut) : audioLeadOut;
  const std::uint32_t start = from == toc.firstTrack ? kLeadInFrames : toc.startOf(from);
  return SectorRun{start - kLeadInFrames, end - kLeadInFrames};
}

bool firstAudioTrack(const TableOfContents& toc, unsigned track) {
  for (unsigned earlier = toc.firstTrack; earlier < track; ++earlier) {
    if (!toc.isData(earlier)) return false;
  }
  return true;
}

}  // namespace

std::optional<TrackSpan> trackSpan(const TableOfContents& toc, unsigned track, std::uint32_t end,
                                   std::uint32_t audioLeadOut) {
  if (!toc.hasTrack(track) || toc.isData(track) || toc.startOf(track) < kLeadInFrames ||
      end <= toc.startOf(track) || end > audioLeadOut || audioLeadOut > toc.leadOut ||
      (track < toc.lastTrack && end > toc.startOf(track + 1))) {
    return std::nullopt;
  }
  return TrackSpan{toc.startOf(track) - kLeadInFrames, end - kLeadInFrames,
                   audioAround(toc, track, audioLeadOut), firstAudioTrack(toc, track),
                   end == audioLeadOut};
}

std::vector<SectorRun> audioRuns(const TableOfContents& toc, std::uint32_t audioLeadOut) {
  std::vector<SectorRun> runs;
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    if (toc.isData(track) || toc.startOf(track) < kLeadInFrames ||
        toc.startOf(track) >= audioLeadOut) {
      continue;
    }
    const SectorRun run = audioAround(toc, track, audioLeadOut);
    if (runs.empty() || runs.back().start != run.start) runs.push_back(run);
  }
  return runs;
}
