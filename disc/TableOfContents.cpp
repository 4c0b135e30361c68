#include "TableOfContents.h"

namespace {

// Past this an address no longer fits the two-digit minutes of an MSF reply.
constexpr std::uint32_t kMaxLeadOut = 100 * kFramesPerMinute;

TocProblem problem(int valueIndex, std::string what) { return {std::move(what), valueIndex}; }

}  // namespace

std::optional<TocProblem> findProblem(const TableOfContents& toc) {
  using std::to_string;
  if (toc.firstTrack < 1 || toc.firstTrack > kMaxTrack) {
    return problem(0, "first track " + to_string(toc.firstTrack) + " is not between 1 and 99");
  }
  if (toc.lastTrack < toc.firstTrack || toc.lastTrack > kMaxTrack) {
    return problem(1, "last track " + to_string(toc.lastTrack) +
                          " is not between the first track " + to_string(toc.firstTrack) +
                          " and 99");
  }
  if (toc.starts.size() != toc.trackCount()) {
    const bool tooMany = toc.starts.size() > toc.trackCount();
    return problem(tooMany ? 3 + static_cast<int>(toc.trackCount()) : -1,
                   "tracks " + to_string(toc.firstTrack) + " to " + to_string(toc.lastTrack) +
                       " need " + to_string(toc.trackCount()) + " starts, not " +
                       to_string(toc.starts.size()));
  }
  if (toc.controls.size() != toc.starts.size()) {
    return problem(-1, "tracks " + to_string(toc.firstTrack) + " to " + to_string(toc.lastTrack) +
                           " have " + to_string(toc.controls.size()) + " control nibbles, not " +
                           to_string(toc.starts.size()));
  }
  if (toc.leadOut > kMaxLeadOut) {
    return problem(2, "lead-out " + to_string(toc.leadOut) + " is past 100 minutes (" +
                          to_string(kMaxLeadOut) + " frames)");
  }
  for (std::size_t i = 1; i < toc.starts.size(); ++i) {
    if (toc.starts[i] <= toc.starts[i - 1]) {
      return problem(3 + static_cast<int>(i), "track " + to_string(toc.firstTrack + i) +
                                                  " starts at " + to_string(toc.starts[i]) +
                                                  ", not after the previous track's " +
                                                  to_string(toc.starts[i - 1]));
    }
  }
  if (toc.leadOut <= toc.starts.back()) {
    return problem(2, "lead-out " + to_string(toc.leadOut) +
                          " is not after the last track's start " + to_string(toc.starts.back()));
  }
  return std::nullopt;
}
