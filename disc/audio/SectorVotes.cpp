#include "SectorVotes.h"

#include <cstring>

#include "Frames.h"

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

const std::uint8_t* SectorVotes::kept(bool agreeing) const {
  if (!agreeing) return latest();
  for (const Vote& vote : votes) {
    if (vote.samples.empty()) continue;
    unsigned unflagged = 0;
    unsigned all = 0;
    for (const Vote& other : votes) {
      if (other.hash != vote.hash) continue;
      ++all;
      if (!other.flagged) ++unflagged;
    }
    if (unflagged >= 2 || all >= 3) return vote.samples.data();
  }
  return nullptr;
}

const std::uint8_t* SectorVotes::latest() const {
  for (auto vote = votes.rbegin(); vote != votes.rend(); ++vote) {
    if (!vote->samples.empty()) return vote->samples.data();
  }
  return nullptr;
}
