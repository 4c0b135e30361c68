#include "SectorVotes.h"

#include <algorithm>
#include <cstring>

#include "Frames.h"

namespace {

// A disputed sector's winner: at least this many reads, and this many times any other value's.
constexpr unsigned kClearReads = 3;
constexpr unsigned kClearMargin = 3;

}  // namespace

std::uint64_t sectorHash(const std::uint8_t* sector) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (std::size_t at = 0; at < kAudioFrameBytes; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, sector + at, sizeof word);
    hash = (hash ^ word) * 0x9e3779b97f4a7c15u;
    hash ^= hash >> 29;
  }
  return hash;
}

void SectorVotes::addHashed(std::uint64_t hash, bool flagged) {
  ++attempts;
  flaggedOnce |= flagged;
  votes.push_back({hash, flagged, {}});
}

void SectorVotes::add(const std::uint8_t* sector, bool flagged) {
  ++attempts;
  flaggedOnce |= flagged;
  votes.push_back({sectorHash(sector), flagged, {sector, sector + kAudioFrameBytes}});
}

bool SectorVotes::disputed() const {
  return std::any_of(votes.begin(), votes.end(),
                     [&](const Vote& vote) { return vote.hash != votes.front().hash; });
}

bool SectorVotes::contradictsFlags() const {
  return votes.size() >= 3 && !disputed() &&
         std::all_of(votes.begin(), votes.end(), [](const Vote& vote) { return vote.flagged; });
}

const std::uint8_t* SectorVotes::kept(bool trustFlags) const {
  const auto counted = [&](std::uint64_t hash) {
    return static_cast<unsigned>(std::count_if(votes.begin(), votes.end(), [&](const Vote& vote) {
      return vote.hash == hash && !(trustFlags && vote.flagged);
    }));
  };
  const bool dispute = disputed();
  for (const Vote& vote : votes) {
    if (vote.samples.empty()) continue;
    const unsigned mine = counted(vote.hash);
    if (!dispute) {
      if (mine >= 2 || votes.size() >= 3) return vote.samples.data();
      continue;
    }
    unsigned rival = 0;
    for (const Vote& other : votes) {
      if (other.hash != vote.hash) rival = std::max(rival, counted(other.hash));
    }
    if (mine >= kClearReads && mine >= kClearMargin * rival) return vote.samples.data();
  }
  return nullptr;
}

const std::uint8_t* SectorVotes::latest() const {
  for (auto vote = votes.rbegin(); vote != votes.rend(); ++vote) {
    if (!vote->samples.empty()) return vote->samples.data();
  }
  return nullptr;
}
