#include "TrackSpan.h"

#include <algorithm>

#include "Frames.h"

namespace {

// The runs of the disc's audio tracks up to the audio session's lead-out, neighbours joined.
std::vector<SectorRun> audioRuns(const TableOfContents& toc, std::uint32_t audioLeadOut) {
  std::vector<SectorRun> runs;
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    const std::uint32_t start = toc.startOf(track);
    if (toc.isData(track) || start < kLeadInFrames || start >= audioLeadOut) continue;
    const std::uint32_t end =
        track < toc.lastTrack ? std::min(toc.startOf(track + 1), audioLeadOut) : audioLeadOut;
    const SectorRun run{start - kLeadInFrames, end - kLeadInFrames};
    if (!runs.empty() && runs.back().end == run.start) {
      runs.back().end = run.end;
    } else {
      runs.push_back(run);
    }
  }
  return runs;
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
                   audioRuns(toc, audioLeadOut), firstAudioTrack(toc, track), end == audioLeadOut};
}
