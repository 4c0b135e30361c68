#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "ImageFile.h"

// Where a WAVE file of CD audio keeps its samples, and how many bytes its data chunk claims
// that the file does not hold (a file cut short).
struct WaveData {
  std::uint64_t offset = 0;
  std::uint64_t bytes = 0;
  std::uint64_t missing = 0;
};

// Finds the samples of a RIFF WAVE file of 16-bit stereo PCM at 44.1 kHz, walking its
// chunks; what else it is as a problem.
std::variant<WaveData, std::string> findWaveData(ImageFile& file);
