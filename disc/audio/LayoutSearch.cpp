#include "LayoutSearch.h"

#include <algorithm>
#include <vector>

namespace {

// Sectors of Q a probe reads, probes a boundary may take, and probes in a row that may
// bring nothing new before it counts as unknown.
constexpr std::uint32_t kWindow = 4;
constexpr unsigned kMaxProbes = 24;
constexpr unsigned kMaxFruitless = 3;
// The most common pregap: two seconds.
constexpr std::uint32_t kUsualPregap = 2 * kFramesPerSecond;
constexpr std::uint8_t kPreEmphasis = 0x1;
constexpr std::uint32_t kSectorsPerAudioRead = 26;

// Track and index as one number that rises along the disc.
unsigned keyOf(unsigned track, unsigned index) { return track * 100 + index; }
unsigned keyOf(const QPosition& frame) { return keyOf(frame.track, frame.index); }

}  // namespace

LayoutSearch::LayoutSearch(QFrames& q, AudioSectors& audio, const TableOfContents& toc,
                           std::uint32_t audioLeadOut)
    : q(q), audio(audio), toc(toc), audioLeadOut(audioLeadOut) {}

std::optional<std::uint32_t> LayoutSearch::sessionStartOf(unsigned track) const {
  if (track == toc.firstTrack) return kLeadInFrames;
  const std::uint32_t start = toc.startOf(track);
  if (start <= audioLeadOut || toc.startOf(track - 1) >= audioLeadOut) return std::nullopt;
  return std::max(audioLeadOut, start - std::min(start, kUsualPregap));
}

std::uint32_t LayoutSearch::sessionEndOf(unsigned track) const {
  return toc.startOf(track) < audioLeadOut ? audioLeadOut : toc.leadOut;
}

void LayoutSearch::keep(const QPosition& frame) {
  const std::uint32_t place = frame.absolute;
  if (outvoted.count(place) != 0) return;
  // The table allows a place only its own track (index 01 on) or the next one's pregap.
  bool allowed = place < toc.leadOut && toc.hasTrack(frame.track);
  if (allowed && place < toc.startOf(toc.firstTrack)) {
    allowed = frame.track == toc.firstTrack && frame.index == 0;
  } else if (allowed) {
    unsigned holder = toc.firstTrack;
    while (holder < toc.lastTrack && toc.startOf(holder + 1) <= place) ++holder;
    allowed = (frame.track == holder && frame.index >= 1) ||
              (frame.track == holder + 1 && frame.index == 0);
  }
  // Two reads of one place that disagree: neither is believed.
  const auto known = frames.find(place);
  if (allowed && known != frames.end()) allowed = keyOf(known->second) == keyOf(frame);
  if (allowed) {
    frames[place] = frame;
  } else {
    frames.erase(place);
    outvoted.insert(place);
  }
}

std::optional<std::uint32_t> LayoutSearch::neighbour(std::uint32_t place, int step) const {
  for (std::uint32_t distance = 1; distance <= kWindow; ++distance) {
    const std::int64_t at = std::int64_t{place} + step * std::int64_t{distance};
    if (at < 0) break;
    if (frames.count(static_cast<std::uint32_t>(at)) != 0) return static_cast<std::uint32_t>(at);
  }
  return std::nullopt;
}

void LayoutSearch::settle() {
  // Whether the good frames beside a place's are in order without it.
  const auto fitsWithout = [&](std::uint32_t place) {
    const auto before = neighbour(place, -1), after = neighbour(place, 1);
    return before && after && keyOf(frames.at(*before)) <= keyOf(frames.at(*after));
  };
  for (auto at = frames.begin(); at != frames.end() && std::next(at) != frames.end();) {
    const auto next = std::next(at);
    if (keyOf(at->second) <= keyOf(next->second)) {
      ++at;
      continue;
    }
    const bool first = fitsWithout(at->first), second = fitsWithout(next->first);
    if (first == second) {  // neither or either: no lone frame to outvote
      ++at;
      continue;
    }
    const std::uint32_t liar = first ? at->first : next->first;
    frames.erase(liar);
    outvoted.insert(liar);
    at = frames.begin();
  }
}

std::optional<std::uint32_t> LayoutSearch::disorderWithin(std::uint32_t from,
                                                          std::uint32_t to) const {
  for (auto at = frames.lower_bound(from); at != frames.end() && at->first <= to; ++at) {
    const auto next = std::next(at);
    if (next != frames.end() && keyOf(at->second) > keyOf(next->second)) return at->first;
  }
  return std::nullopt;
}

bool LayoutSearch::probe(std::uint32_t target, std::uint32_t floor, std::uint32_t limit) {
  const std::uint32_t first = std::max(floor, target - std::min(target, kWindow / 2));
  const std::uint32_t count = std::min(kWindow, limit - std::min(limit, first));
  asked.insert(target);
  if (count == 0) return false;
  // Asked where the drive's frames so far say this window's come from.
  const std::int64_t wanted = std::int64_t{first} - kLeadInFrames - skew;
  const std::int64_t lastLba = std::int64_t{toc.leadOut} - kLeadInFrames - count;
  const auto lba = static_cast<std::uint32_t>(std::clamp<std::int64_t>(wanted, 0, lastLba));
  QFramesRead read = q.read(lba, count);
  if (read.failure) {
    failure = std::move(read.failure);
    return false;
  }
  bool fresh = false;
  for (const QFrame& frame : read.frames) {
    skew = std::int64_t{frame.position.absolute} - kLeadInFrames - frame.askedLba;
    const std::uint32_t place = frame.position.absolute;
    fresh |= frames.count(place) == 0 && outvoted.count(place) == 0;
    keep(frame.position);
  }
  settle();
  return fresh;
}

std::optional<bool> LayoutSearch::confirmed(std::uint32_t before, std::uint32_t after, unsigned key,
                                            const Stretch& stretch) {
  const auto ahead = neighbour(before, -1), behind = neighbour(after, 1);
  if (ahead && behind) {
    return keyOf(frames.at(*ahead)) < key && keyOf(frames.at(*behind)) == keyOf(frames.at(after));
  }
  const std::uint32_t target = ahead ? after + 1 : before - 1;
  if (asked.count(target) != 0) return false;
  probe(target, stretch.hardFloor ? stretch.floor : 0, stretch.limit);
  return std::nullopt;
}

std::optional<std::uint32_t> LayoutSearch::findBoundary(unsigned key, const Stretch& stretch,
                                                        std::vector<std::uint32_t> hints) {
  unsigned fruitless = 0;
  for (unsigned probes = 0; probes < kMaxProbes && !failure; ++probes) {
    if (const auto disorder = disorderWithin(stretch.floor - 1, stretch.ceiling + 1)) {
      // Frames read around the two may outvote one of them; if not, the place is unknown.
      const std::uint32_t second = frames.upper_bound(*disorder)->first;
      const std::uint32_t target = asked.count(*disorder) == 0 ? *disorder : second + 1;
      if (asked.count(target) != 0) return std::nullopt;
      probe(target, stretch.hardFloor ? stretch.floor : 0, stretch.limit);
      continue;
    }
    // The last frame before the boundary and the first at or after it, so far.
    std::optional<std::uint32_t> before, after;
    // (The frames are in order: those past the boundary follow all those before it.)
    for (auto at = frames.lower_bound(stretch.floor - 1); at != frames.end(); ++at) {
      if (keyOf(at->second) >= key) {
        after = at->first;
        break;
      }
      if (at->first <= stretch.ceiling) before = at->first;
    }
    if (before && after && *after == *before + 1) {
      const auto sure = confirmed(*before, *after, key, stretch);
      if (sure) return *sure ? after : std::nullopt;
      continue;
    }
    // Nothing lies before a hard floor: two frames past the boundary of one track and index
    // that the drive gives first from there put it at the floor.
    const auto second = after ? neighbour(*after, 1) : std::nullopt;
    if (stretch.hardFloor && !before && second && *second < stretch.floor + 2 * kWindow &&
        keyOf(frames.at(*second)) == keyOf(frames.at(*after))) {
      return stretch.floor;
    }
    const std::uint32_t low = before ? *before : stretch.floor - 1;
    const std::uint32_t high = after ? std::min(*after, stretch.ceiling) : stretch.ceiling;
    std::uint32_t target = low + (high - low + 1) / 2;
    while (!hints.empty()) {
      const std::uint32_t hint = hints.front();
      hints.erase(hints.begin());
      if (hint > low && hint <= high) {
        target = hint;
        break;
      }
    }
    if (probe(target, stretch.floor, stretch.limit)) {
      fruitless = 0;
    } else if (++fruitless == kMaxFruitless) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<unsigned> LayoutSearch::keyAt(std::uint32_t place, std::uint32_t limit) {
  for (unsigned tries = 0; tries < kMaxFruitless && !failure; ++tries) {
    // The frame at the place, or the last the drive gives before it (one answering a few
    // sectors early gives none of a session's last sectors), and the good one before that.
    const auto at = neighbour(place + 1, -1);
    const auto before = at ? neighbour(*at, -1) : std::nullopt;
    if (before) {
      const unsigned key = keyOf(frames.at(*at));
      if (key != keyOf(frames.at(*before)) || disorderWithin(*before, place)) return std::nullopt;
      return key;
    }
    const std::uint32_t target = at ? *at - 1 : place - 1;
    if (asked.count(target) != 0) return std::nullopt;
    probe(target, 0, limit);
  }
  return std::nullopt;
}

std::optional<bool> LayoutSearch::preEmphasisOf(unsigned track) const {
  unsigned seen = 0;
  bool flagged = false;
  for (const auto& [place, frame] : frames) {
    if (frame.track != track || frame.index == 0) continue;
    const bool emphasis = (frame.control & kPreEmphasis) != 0;
    if (seen++ > 0 && emphasis != flagged) return std::nullopt;
    flagged = emphasis;
  }
  return seen >= 2 ? std::optional<bool>(flagged) : std::nullopt;
}

std::optional<bool> LayoutSearch::hiddenAudio(std::uint32_t sectors) {
  std::vector<std::uint8_t> block(std::size_t{kSectorsPerAudioRead} * kAudioFrameBytes);
  for (std::uint32_t lba = 0; lba < sectors; lba += kSectorsPerAudioRead) {
    const std::uint32_t count = std::min(kSectorsPerAudioRead, sectors - lba);
    const SectorsRead read = audio.read(lba, count, block.data());
    if (read.failure) failure = read.failure;
    if (read.status != SectorsRead::Status::kRead) return std::nullopt;
    const auto end = block.begin() + std::size_t{count} * kAudioFrameBytes;
    if (std::any_of(block.begin(), end, [](std::uint8_t byte) { return byte != 0; })) return true;
  }
  return false;
}

void LayoutSearch::findPregap(unsigned track, TrackLayout& layout) {
  const std::uint32_t start = toc.startOf(track);
  const auto sessionStart = sessionStartOf(track);
  const Stretch stretch{sessionStart ? *sessionStart : toc.startOf(track - 1) + 1, start,
                        sessionEndOf(track), sessionStart.has_value()};
  const auto boundary =
      findBoundary(keyOf(track, 0), stretch, {start, start - std::min(start, kUsualPregap)});
  if (!boundary) return;
  layout.pregapStart = *boundary;
  layout.pregapLength = start - *boundary;
}

void LayoutSearch::findIndexes(unsigned track, std::int64_t nextPregap, TrackLayout& layout) {
  const bool sessionEnds = track == toc.lastTrack || sessionStartOf(track + 1).has_value();
  if (!sessionEnds && nextPregap < 0) return;
  const std::uint32_t limit = sessionEndOf(track);
  const std::uint32_t last = sessionEnds ? limit - 1 : static_cast<std::uint32_t>(nextPregap) - 1;
  const auto lastKey = keyAt(last, limit);
  if (!lastKey || *lastKey / 100 != track) return;
  std::uint32_t floor = toc.startOf(track) + 1;
  for (unsigned index = 2; index <= *lastKey % 100; ++index) {
    const auto boundary = findBoundary(keyOf(track, index), {floor, last, limit, false}, {});
    if (!boundary || frames.at(*boundary).index != index) {
      layout.indexes.clear();
      return;
    }
    layout.indexes.push_back(*boundary);
    floor = *boundary + 1;
  }
  layout.indexesKnown = true;
}

std::variant<DiscLayout, DiscFailure> LayoutSearch::run() {
  DiscLayout layout;
  layout.tracks.resize(toc.trackCount());
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack && !failure; ++track) {
    TrackLayout& found = layout.tracks[track - toc.firstTrack];
    found.tocControl = toc.controls[track - toc.firstTrack];
    findPregap(track, found);
  }
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack && !failure; ++track) {
    TrackLayout& found = layout.tracks[track - toc.firstTrack];
    const std::int64_t nextPregap =
        track < toc.lastTrack ? layout.tracks[track + 1 - toc.firstTrack].pregapStart : -1;
    findIndexes(track, nextPregap, found);
    if (toc.isData(track)) {
      found.qPreEmphasis = false;
      continue;
    }
    // A track seen in too few frames is read a little further in.
    for (unsigned more = 0; more < 2 && !preEmphasisOf(track) && !failure; ++more) {
      probe(toc.startOf(track) + kWindow * (more + 1), toc.startOf(track), sessionEndOf(track));
    }
    found.qPreEmphasis = preEmphasisOf(track);
  }
  const std::uint32_t firstStart = toc.startOf(toc.firstTrack);
  layout.hiddenLength = firstStart - std::min(firstStart, kLeadInFrames);
  if (!failure) {
    layout.hiddenAudio = layout.hiddenLength == 0 || toc.isData(toc.firstTrack)
                             ? std::optional<bool>(false)
                             : hiddenAudio(layout.hiddenLength);
  }
  if (failure) return std::move(*failure);
  return layout;
}
