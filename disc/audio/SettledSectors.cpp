#include "SettledSectors.h"

#include <algorithm>
#include <cstring>

#include "Frames.h"
#include "MmcReadCd.h"

namespace {

// Reads of a sector, all told: one failing with MEDIUM ERROR in burst mode, before it counts
// as unreadable; one whose reads are compared, before it counts as unconfirmed.
constexpr unsigned kMaxFailedReads = 4;
constexpr unsigned kMaxComparedReads = 16;
// The sectors read at a time: whole READ CDs both with C2 (13 of 24) and without (12 of 26).
constexpr std::uint32_t kStretchSectors = 312;
// The most sectors of a window read again together ahead of its second pass (2.4 MB).
constexpr std::size_t kMostAhead = 1024;
// A drive's flags are distrusted once this many flagged sectors read alike three times and
// more, and four times as many as those whose reads differed.
constexpr unsigned kContradictedFlags = 16;
constexpr unsigned kContradictionMargin = 4;

// Adds `lba` to a report's list, kept in order and once each.
void note(std::vector<std::uint32_t>& sectors, std::uint32_t lba) {
  const auto at = std::lower_bound(sectors.begin(), sectors.end(), lba);
  if (at == sectors.end() || *at != lba) sectors.insert(at, lba);
}

}  // namespace

SettledSectors::SettledSectors(AudioSectors& drive, std::uint32_t first, std::uint32_t end,
                               std::uint32_t readableEnd, std::vector<SectorRun> audio, bool secure,
                               std::uint32_t cacheSectors)
    : drive(drive),
      first(first),
      end(end),
      readableEnd(readableEnd),
      audio(std::move(audio)),
      secure(secure),
      cacheSectors(std::max<std::uint32_t>(cacheSectors, 1)) {
  // Windows of equal size, each at least twice the cache where the track allows.
  const std::uint32_t length = std::max<std::uint32_t>(end > first ? end - first : 0, 1);
  const std::uint32_t windows = std::max<std::uint32_t>(1, length / (2 * this->cacheSectors));
  windowSize = (length + windows - 1) / windows;
}

std::optional<DiscFailure> SettledSectors::read(std::uint32_t lba, std::uint32_t count,
                                                std::uint8_t* out) {
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t at = lba + done;
    const std::uint32_t kept = static_cast<std::uint32_t>(keptSectors.size() / kAudioFrameBytes);
    if (at >= keptFrom && at < keptFrom + kept) {
      const std::uint32_t piece = std::min(count - done, keptFrom + kept - at);
      std::memcpy(out + std::size_t{done} * kAudioFrameBytes,
                  keptSectors.data() + std::size_t{at - keptFrom} * kAudioFrameBytes,
                  std::size_t{piece} * kAudioFrameBytes);
      done += piece;
      continue;
    }
    std::uint32_t stop = at < end ? end : readableEnd;
    if (secure) {
      if (at < windowStart || at >= windowEnd) {
        if (auto failure = firstPass(at)) return failure;
      }
      stop = windowEnd;
    }
    stop = std::max(std::min(stop, at + kStretchSectors), at + 1);
    if (auto failure = readStretch(at, stop - at)) return failure;
  }
  return std::nullopt;
}

std::optional<DiscFailure> SettledSectors::readOnce(std::uint32_t lba, std::uint32_t count,
                                                    std::uint8_t* out) {
  arrived.assign(count, 1);
  flagged.assign(count, 0);
  const SectorsRead read = drive.readFlagged(lba, count, out, flagged.data());
  if (read.failure) return read.failure;
  if (read.status == SectorsRead::Status::kRead) return std::nullopt;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t* sector = out + std::size_t{i} * kAudioFrameBytes;
    const SectorsRead alone =
        count == 1 ? read : drive.readFlagged(lba + i, 1, sector, &flagged[i]);
    if (alone.failure) return alone.failure;
    arrived[i] = alone.status == SectorsRead::Status::kRead;
    if (!arrived[i]) std::memset(sector, 0, kAudioFrameBytes);
  }
  return std::nullopt;
}

std::optional<DiscFailure> SettledSectors::firstPass(std::uint32_t lba) {
  if (lba >= first && lba < end) {
    windowStart = first + (lba - first) / windowSize * windowSize;
    windowEnd = std::min(end, windowStart + windowSize);
  } else {
    windowStart = lba;
    windowEnd = std::min(readableEnd, lba + windowSize);
  }
  const std::uint32_t size = windowEnd - windowStart;
  firstHashes.resize(size);
  firstArrived.resize(size);
  firstFlagged.resize(size);
  aheadSectors.clear();
  for (std::uint32_t at = 0; at < size;) {
    const std::uint32_t piece = std::min(size - at, kStretchSectors);
    block.resize(std::size_t{piece} * kAudioFrameBytes);
    if (auto failure = readOnce(windowStart + at, piece, block.data())) return failure;
    for (std::uint32_t i = 0; i < piece; ++i, ++at) {
      firstHashes[at] = sectorHash(block.data() + std::size_t{i} * kAudioFrameBytes);
      firstArrived[at] = arrived[i];
      firstFlagged[at] = flagged[i];
    }
  }
  // Too short to push itself out of the cache: reads elsewhere do it, where the disc has them.
  windowPushed = size >= 2 * cacheSectors || pushCache(windowStart, windowEnd);
  drive.dropCached(windowStart);
  return std::nullopt;
}

std::optional<DiscFailure> SettledSectors::readStretch(std::uint32_t lba, std::uint32_t count) {
  keptFrom = lba;
  keptSectors.resize(std::size_t{count} * kAudioFrameBytes);
  if (auto failure = readOnce(lba, count, keptSectors.data())) return failure;
  const bool trusted = flagsTrusted();
  std::vector<Pending> pending;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t* sector = keptSectors.data() + std::size_t{i} * kAudioFrameBytes;
    const auto ahead = std::find(aheadSectors.begin(), aheadSectors.end(), lba + i);
    if (secure && ahead != aheadSectors.end()) {
      const auto index = static_cast<std::size_t>(ahead - aheadSectors.begin());
      std::memcpy(sector, aheadSamples.data() + index * kAudioFrameBytes, kAudioFrameBytes);
      continue;
    }
    const bool clean = arrived[i] && !(trusted && flagged[i]);
    if (!secure && clean) continue;
    const std::uint32_t j = lba + i - windowStart;
    if (secure && clean && firstArrived[j] && !(trusted && firstFlagged[j]) &&
        firstHashes[j] == sectorHash(sector)) {
      if (!windowPushed) {
        found.cacheNotPushed = true;
        note(found.unconfirmed, lba + i);
      }
      continue;
    }
    Pending one{lba + i, sector, {}};
    if (secure && firstArrived[j]) {
      one.votes.addHashed(firstHashes[j], firstFlagged[j] != 0);
    } else if (secure) {
      one.votes.addFailed();
    }
    if (arrived[i]) {
      one.votes.add(sector, flagged[i] != 0);
    } else {
      one.votes.addFailed();
    }
    pending.push_back(std::move(one));
  }
  if (secure && !pending.empty()) addAhead(lba + count, pending);
  return settle(pending);
}

void SettledSectors::addAhead(std::uint32_t from, std::vector<Pending>& pending) {
  if (!aheadSectors.empty()) return;  // one batch a window
  const bool trusted = flagsTrusted();
  for (std::uint32_t lba = from; lba < windowEnd && aheadSectors.size() < kMostAhead; ++lba) {
    const std::uint32_t j = lba - windowStart;
    if (!firstArrived[j] || (trusted && firstFlagged[j])) aheadSectors.push_back(lba);
  }
  aheadSamples.assign(aheadSectors.size() * kAudioFrameBytes, 0);
  for (std::size_t i = 0; i < aheadSectors.size(); ++i) {
    const std::uint32_t j = aheadSectors[i] - windowStart;
    Pending one{aheadSectors[i], aheadSamples.data() + i * kAudioFrameBytes, {}};
    if (firstArrived[j]) {
      one.votes.addHashed(firstHashes[j], firstFlagged[j] != 0);
    } else {
      one.votes.addFailed();
    }
    pending.push_back(std::move(one));
  }
}

void SettledSectors::weighFlags(const SectorVotes& votes) {
  if (votes.contradictsFlags()) {
    ++flagsContradicted;
  } else if (votes.disputed()) {
    ++flagsConfirmed;
  }
  if (flagsContradicted >= kContradictedFlags &&
      flagsContradicted >= kContradictionMargin * flagsConfirmed) {
    drive.distrustC2();
  }
}

std::optional<DiscFailure> SettledSectors::settle(std::vector<Pending>& pending) {
  std::vector<std::uint8_t> sectors(std::size_t{kStretchSectors} * kAudioFrameBytes);
  std::vector<std::uint8_t> flags(kStretchSectors);
  // Whether every read again came from the disc: each after a push of the cache.
  bool proven = windowPushed || !secure;
  for (;;) {
    const bool trusted = flagsTrusted();
    const auto settled = [&](const Pending& one) {
      const bool agreeing = secure || one.votes.everFlagged();
      const std::uint8_t* kept = agreeing ? one.votes.kept(trusted) : one.votes.latest();
      const unsigned most = agreeing ? kMaxComparedReads : kMaxFailedReads;
      if (!kept && one.votes.reads() < most) return false;
      if (one.votes.everFlagged()) {
        note(found.c2Flagged, one.lba);
        if (trusted) weighFlags(one.votes);
      }
      if (kept) {
        if (one.votes.reads() > (secure ? 2u : 1u)) ++found.rereads;
        if (!proven) {
          found.cacheNotPushed = true;
          note(found.unconfirmed, one.lba);
        }
      } else {
        kept = one.votes.latest();
        note(kept ? found.unconfirmed : found.unreadable, one.lba);
      }
      if (kept) {
        std::memcpy(one.out, kept, kAudioFrameBytes);
      } else {
        std::memset(one.out, 0, kAudioFrameBytes);
      }
      return true;
    };
    pending.erase(std::remove_if(pending.begin(), pending.end(), settled), pending.end());
    if (pending.empty()) return std::nullopt;
    // A read that arrived may be in the cache: push it out before reading again.
    if (std::any_of(pending.begin(), pending.end(),
                    [](const Pending& one) { return one.votes.anyArrived(); })) {
      const auto [low, high] =
          std::minmax_element(pending.begin(), pending.end(),
                              [](const Pending& a, const Pending& b) { return a.lba < b.lba; });
      if (!pushCache(low->lba, high->lba + 1) && secure) proven = false;
      for (const Pending& one : pending) drive.dropCached(one.lba);
    }
    // Neighbours read again in one command: the push left none of them in the cache.
    for (std::size_t i = 0; i < pending.size();) {
      std::size_t run = 1;
      while (i + run < pending.size() && run < kStretchSectors &&
             pending[i + run].lba == pending[i].lba + run) {
        ++run;
      }
      const auto count = static_cast<std::uint32_t>(run);
      SectorsRead read = drive.readFlagged(pending[i].lba, count, sectors.data(), flags.data());
      if (read.failure) return read.failure;
      if (read.status != SectorsRead::Status::kRead && count > 1) {
        run = 1;
        read = drive.readFlagged(pending[i].lba, 1, sectors.data(), flags.data());
        if (read.failure) return read.failure;
      }
      for (std::size_t k = 0; k < run; ++k) {
        if (read.status == SectorsRead::Status::kRead) {
          pending[i + k].votes.add(sectors.data() + k * kAudioFrameBytes, flags[k] != 0);
        } else {
          pending[i + k].votes.addFailed();
        }
      }
      i += run;
    }
  }
}

bool SettledSectors::pushCache(std::uint32_t from, std::uint32_t until) {
  // Read-ahead fills at most the cache: reads ending a cache's worth before `from` can not
  // bring it back, and reads after `until` run away from it.
  const std::uint32_t reach = cacheSectors;
  const std::uint32_t nearest = from > reach ? from - reach : 0;
  std::vector<SectorRun> after;
  std::vector<SectorRun> before;
  for (const SectorRun& run : audio) {
    if (run.end > until) after.push_back({std::max(run.start, until), run.end});
    if (run.start < nearest) before.push_back({run.start, std::min(run.end, nearest)});
  }
  after.insert(after.end(), before.begin(), before.end());
  std::uint32_t pushed = 0;
  for (const SectorRun& run : after) {
    for (std::uint32_t lba = run.start, piece; lba < run.end && pushed < cacheSectors;
         lba += piece) {
      piece = std::min({run.end - lba, kStretchSectors, cacheSectors - pushed});
      block.resize(std::size_t{piece} * kAudioFrameBytes);
      // Those that fail push nothing out.
      if (drive.read(lba, piece, block.data()).status == SectorsRead::Status::kRead) {
        pushed += piece;
      }
    }
  }
  return pushed >= cacheSectors;
}
