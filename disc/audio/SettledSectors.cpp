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

// Adds `lba` to a report's list, kept in order and once each.
void note(std::vector<std::uint32_t>& sectors, std::uint32_t lba) {
  const auto at = std::lower_bound(sectors.begin(), sectors.end(), lba);
  if (at == sectors.end() || *at != lba) sectors.insert(at, lba);
}

}  // namespace

SettledSectors::SettledSectors(AudioSectors& drive, std::uint32_t first, std::uint32_t end,
                               std::uint32_t readableEnd, bool secure, std::uint32_t cacheSectors)
    : drive(drive),
      first(first),
      end(end),
      readableEnd(readableEnd),
      secure(secure),
      cacheSectors(std::max<std::uint32_t>(cacheSectors, 1)) {
  // Windows of equal size, each at least twice the cache where the track allows.
  const std::uint32_t length = std::max<std::uint32_t>(end > first ? end - first : 0, 1);
  const std::uint32_t windows = std::max<std::uint32_t>(1, length / (2 * this->cacheSectors));
  windowSize = (length + windows - 1) / windows;
}

std::optional<DiscFailure> SettledSectors::read(std::uint32_t lba, std::uint32_t count,
                                                std::uint8_t* out) {
  std::uint32_t done = 0;
  const std::size_t kept = keptSectors.size() / kAudioFrameBytes;
  for (; done < count && lba + done >= keptFrom && lba + done < keptFrom + kept; ++done) {
    std::memcpy(out + std::size_t{done} * kAudioFrameBytes,
                keptSectors.data() + std::size_t{lba + done - keptFrom} * kAudioFrameBytes,
                kAudioFrameBytes);
  }
  while (done < count) {
    const std::uint32_t at = lba + done;
    std::uint32_t piece = count - done;
    if (secure) {
      if (at < windowStart || at >= windowEnd) {
        if (auto failure = firstPass(at)) return failure;
      }
      piece = std::min(piece, windowEnd - at);
    }
    if (auto failure = readStretch(at, piece, out + std::size_t{done} * kAudioFrameBytes)) {
      return failure;
    }
    done += piece;
  }
  keptFrom = lba;
  keptSectors.assign(out, out + std::size_t{count} * kAudioFrameBytes);
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
  for (std::uint32_t at = 0; at < size;) {
    const std::uint32_t piece = std::min(size - at, kSectorsPerReadCd);
    block.resize(std::size_t{piece} * kAudioFrameBytes);
    if (auto failure = readOnce(windowStart + at, piece, block.data())) return failure;
    for (std::uint32_t i = 0; i < piece; ++i, ++at) {
      firstHashes[at] = sectorHash(block.data() + std::size_t{i} * kAudioFrameBytes);
      firstArrived[at] = arrived[i];
      firstFlagged[at] = flagged[i];
    }
  }
  // Too short to push itself out of the cache: reads elsewhere do it.
  if (size < 2 * cacheSectors) pushCache(windowStart, windowEnd);
  return std::nullopt;
}

std::optional<DiscFailure> SettledSectors::readStretch(std::uint32_t lba, std::uint32_t count,
                                                       std::uint8_t* out) {
  if (auto failure = readOnce(lba, count, out)) return failure;
  std::vector<Pending> pending;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t* sector = out + std::size_t{i} * kAudioFrameBytes;
    const bool clean = arrived[i] && !flagged[i];
    const std::uint32_t j = lba + i - windowStart;
    if (!secure && clean) continue;
    if (secure && clean && firstArrived[j] && !firstFlagged[j] &&
        firstHashes[j] == sectorHash(sector)) {
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
  return settle(pending);
}

std::optional<DiscFailure> SettledSectors::settle(std::vector<Pending>& pending) {
  std::vector<std::uint8_t> sector(kAudioFrameBytes);
  for (;;) {
    const auto settled = [&](const Pending& one) {
      const bool agreeing = secure || one.votes.everFlagged();
      const std::uint8_t* kept = one.votes.kept(agreeing);
      const unsigned most = agreeing ? kMaxComparedReads : kMaxFailedReads;
      if (!kept && one.votes.reads() < most) return false;
      if (one.votes.everFlagged()) note(found.c2Flagged, one.lba);
      if (kept) {
        if (one.votes.reads() > (secure ? 2u : 1u)) ++found.rereads;
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
      pushCache(secure ? windowStart : pending.front().lba,
                secure ? windowEnd : pending.back().lba + 1);
      for (const Pending& one : pending) drive.dropCached(one.lba);
    }
    for (Pending& one : pending) {
      std::uint8_t flag = 0;
      const SectorsRead read = drive.readFlagged(one.lba, 1, sector.data(), &flag);
      if (read.failure) return read.failure;
      if (read.status == SectorsRead::Status::kRead) {
        one.votes.add(sector.data(), flag != 0);
      } else {
        one.votes.addFailed();
      }
    }
  }
}

void SettledSectors::pushCache(std::uint32_t from, std::uint32_t until) {
  // The sectors read in `lba` to `stop`; those that fail (a data track's) push nothing out.
  const auto readRange = [&](std::uint32_t lba, std::uint32_t stop) {
    std::uint32_t read = 0;
    for (std::uint32_t piece; lba < stop; lba += piece) {
      piece = std::min(stop - lba, kSectorsPerReadCd);
      block.resize(std::size_t{piece} * kAudioFrameBytes);
      if (drive.read(lba, piece, block.data()).status == SectorsRead::Status::kRead) read += piece;
    }
    return read;
  };
  // Before the sectors, then after them, until a cache's worth has been read; a disc smaller
  // than that gives what it has.
  until = std::min(until, readableEnd);
  const std::uint32_t pushed = readRange(from > cacheSectors ? from - cacheSectors : 0, from);
  if (pushed < cacheSectors) {
    readRange(until, until + std::min(readableEnd - until, cacheSectors - pushed));
  }
}
