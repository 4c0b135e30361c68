#include "CueLayout.h"

#include <algorithm>
#include <string>

namespace {

class Placer {
 public:
  Placer(const CueSheet& sheet, const std::vector<std::uint32_t>& fileFrames)
      : sheet(sheet), fileFrames(fileFrames) {}

  // Lays everything of the files up to `position` on the disc.
  std::optional<CueProblem> advanceTo(const CuePosition& position) {
    if (position.file != file) {
      finishFile();
      file = position.file;
      filePos = 0;
    }
    const std::uint32_t length = fileFrames[file];
    if (position.frames > length) {
      return CueProblem{position.line, "INDEX at frame " + std::to_string(position.frames) +
                                           " lies past the end of '" + sheet.files[file].name +
                                           "' (" + std::to_string(length) + " frames)"};
    }
    if (position.frames < filePos) {
      return CueProblem{position.line, "INDEX at frame " + std::to_string(position.frames) +
                                           " lies before the index before it"};
    }
    place(position.frames);
    return std::nullopt;
  }

  // Lays the files up to `position` on the disc, but none of its own file's before it.
  std::optional<CueProblem> endBefore(const CuePosition& position) {
    if (position.file == file) return advanceTo(position);
    finishFile();
    return std::nullopt;
  }

  void skip(std::uint32_t frames) { cursor += frames; }
  std::uint32_t address() const { return cursor; }

  // The rest of the last file.
  void finishFile() {
    if (file != kNone) place(fileFrames[file]);
  }

  std::vector<ImageRun> takeRuns() { return std::move(runs); }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void place(std::uint32_t until) {
    if (until > filePos) {
      runs.push_back({cursor, until - filePos, file, filePos});
      cursor += until - filePos;
      filePos = until;
    }
  }

  const CueSheet& sheet;
  const std::vector<std::uint32_t>& fileFrames;
  std::vector<ImageRun> runs;
  std::uint32_t cursor = 0;
  std::size_t file = kNone;
  std::uint32_t filePos = 0;
};

}  // namespace

std::variant<CueLayout, CueProblem> layOut(const CueSheet& sheet,
                                           const std::vector<std::uint32_t>& fileFrames) {
  Placer placer(sheet, fileFrames);
  CueLayout layout;
  layout.toc.firstTrack = sheet.tracks.front().number;
  layout.toc.lastTrack = sheet.tracks.back().number;
  unsigned session = sheet.tracks.front().session;
  const CueTrack* previous = nullptr;
  for (auto track = sheet.tracks.begin(); track != sheet.tracks.end(); ++track) {
    // Where the files go on after the track starts: a track no file holds lies between what
    // comes before the next file's position and that position.
    const auto filed = std::find_if(track, sheet.tracks.end(),
                                    [](const CueTrack& t) { return !t.describedFrames; });
    const std::optional<CuePosition> next =
        filed == sheet.tracks.end()
            ? std::nullopt
            : std::optional(filed->index0 ? *filed->index0 : filed->indexes.front());
    const auto reachNext = [&]() -> std::optional<CueProblem> {
      if (!next) {
        placer.finishFile();
        return std::nullopt;
      }
      return track->describedFrames ? placer.endBefore(*next) : placer.advanceTo(*next);
    };
    // The track before ends with its POSTGAP's silence.
    if (previous != nullptr && previous->postgapSilence != 0) {
      if (auto problem = next ? placer.endBefore(*next) : reachNext()) return *problem;
      placer.skip(previous->postgapSilence);
    }
    previous = &*track;
    if (auto problem = reachNext()) return *problem;
    if (track->session != session) placer.skip(kSessionGapFrames);
    session = track->session;
    TrackMarks marks;
    marks.pregapStart = placer.address();
    placer.skip(track->pregapSilence);
    if (track->describedFrames) {
      marks.indexes.push_back(placer.address());
      placer.skip(*track->describedFrames);
    }
    for (const CuePosition& index : track->indexes) {
      if (auto problem = placer.advanceTo(index)) return *problem;
      marks.indexes.push_back(placer.address());
    }
    layout.toc.starts.push_back(marks.indexes.front() + kLeadInFrames);
    layout.marks.push_back(std::move(marks));
    layout.toc.controls.push_back(
        static_cast<std::uint8_t>(track->flags | (track->audio ? 0 : kDataTrackControl)));
  }
  placer.finishFile();
  placer.skip(sheet.tracks.back().postgapSilence);
  layout.toc.leadOut = placer.address() + kLeadInFrames;
  if (const auto problem = findProblem(layout.toc)) {
    const int track = problem->valueIndex - 3;
    const bool ofATrack = track >= 0 && static_cast<std::size_t>(track) < sheet.tracks.size();
    return CueProblem{ofATrack ? sheet.tracks[static_cast<std::size_t>(track)].line : 0,
                      problem->what};
  }
  layout.runs = placer.takeRuns();
  return layout;
}
