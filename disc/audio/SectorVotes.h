#pragma once

#include <cstdint>
#include <vector>

// A sector's samples reduced to 64 bits: reads of it that differ differ here too, barring a
// chance of 2^-64.
std::uint64_t sectorHash(const std::uint8_t* sector);

// The reads of one sector that did not settle at once, until one value is clear enough to
// keep. C2 error pointers choose what to read again but never prove a sector: while they
// are trusted, a flagged read counts for no value.
//
// Undisputed (every read that arrived alike): kept after two unflagged reads, or three
// reads in all, since three reads from the disc agreeing contradict the flags.
// Disputed (reads differ): a value is kept only by a clear majority, at least three
// unflagged reads and at least three times as many as any other value has. Two against one
// is not clear: a drive that conceals a bad frame the same way each time would win it.
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
  // Whether reads that arrived differ.
  bool disputed() const;
  // Whether three or more reads arrived, all alike and all flagged: flags the disc contradicts.
  bool contradictsFlags() const;
  // The confirmed samples; null while there are none. `trustFlags` false: flags are ignored.
  const std::uint8_t* kept(bool trustFlags) const;
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
