#pragma once

#include <cstdint>
#include <vector>

// A sector's samples reduced to 64 bits: reads of it that differ differ here too, barring a
// chance of 2^-64.
std::uint64_t sectorHash(const std::uint8_t* sector);

// The reads of one sector that did not settle at once, until one value has come often
// enough to keep. C2 error pointers choose what to read again but never prove a sector:
// drives miss errors and flag bytes they corrected. So a value is confirmed when it came
// twice from reads the drive did not flag, or three times in all.
class SectorVotes {
 public:
  // A read whose samples were not kept, only their hash (a first pass over a window).
  void addHashed(std::uint64_t hash, bool flagged);
  void add(const std::uint8_t* sector, bool flagged);
  // A read that returned nothing (MEDIUM ERROR).
  void addFailed() { ++attempts; }

  unsigned reads() const { return attempts; }
  bool everFlagged() const { return flaggedOnce; }
  // Whether some read returned samples, which the drive's cache may now hold.
  bool anyArrived() const { return !votes.empty(); }
  // The samples to keep: the latest read once `agreeing` is false, else a confirmed value;
  // null while there is none.
  const std::uint8_t* kept(bool agreeing) const;
  // The latest samples read and kept; null when there are none.
  const std::uint8_t* latest() const;

 private:
  struct Vote {
    std::uint64_t hash;
    bool flagged;
    std::vector<std::uint8_t> samples;  // empty for a hashed read
  };
  std::vector<Vote> votes;
  unsigned attempts = 0;
  bool flaggedOnce = false;
};
