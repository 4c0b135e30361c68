#pragma once

#include <cstddef>
#include <cstdint>

#include "Crc32.h"

// The checksums of one track's samples, taken while they stream by, in order:
// - AccurateRip v1: the sum, modulo 2^32, of each sample (left in the low 16 bits, right in
//   the high, as the CD stores them) times its position in the track counted from 1;
// - AccurateRip v2: the same products taken to 64 bits, their low and high halves summed;
// - CRC-32 of every byte.
// Both AccurateRip sums leave out the disc's first 5 frames less one sample (the first
// track's first 2939 samples) and its last 5 frames (the last audio track's last 2940
// samples), which drives with different read offsets can not all read; a last track shorter
// than those 2940 samples is counted whole, as the database's own tools count it.
class AudioChecksums {
 public:
  AudioChecksums(std::uint64_t trackSamples, bool firstTrack, bool lastTrack);

  // Adds whole samples: `size` is a multiple of kBytesPerSample.
  void add(const std::uint8_t* samples, std::size_t size);

  std::uint32_t accurateRipV1() const { return v1; }
  std::uint32_t accurateRipV2() const { return v2; }
  std::uint32_t crc32() const { return crc.value(); }

 private:
  std::uint64_t countedFrom;   // the first sample of the sums, counted from 0
  std::uint64_t countedUntil;  // the first sample after them
  std::uint64_t position = 0;
  std::uint32_t v1 = 0;
  std::uint32_t v2 = 0;
  Crc32 crc;
};
