#pragma once

#include <cstdint>
#include <string>

// Why a FLAC file can not give CD audio. The reader says which; flacProblemText words it.
enum class FlacFault {
  kNotFlac,     // no FLAC stream, or none whose STREAMINFO can be read
  kNotCdAudio,  // another depth, rate or number of channels than 16-bit stereo at 44.1 kHz
  kNoLength,    // STREAMINFO does not say how many samples it holds
  kDamaged,     // a frame fails its CRC, or the stream loses its sync
  kCutShort,    // fewer samples than STREAMINFO says, or none decodes where its last should
  kShrank,      // the file grew shorter while it was read
  kTooLong,     // more samples than STREAMINFO says
  kWrongMd5,    // the samples, read whole, are not those whose MD5 STREAMINFO holds
  kNoMemory,    // the decoder could not be made
};

struct FlacProblem {
  FlacFault fault = FlacFault::kNotFlac;
  std::uint64_t sample = 0;  // where the damage or the end was found
  // What the file holds, for kNotCdAudio.
  unsigned channels = 0, bits = 0, rate = 0;
};

// A problem in words, e.g. "a damaged FLAC file: a frame near sample 1234 fails its CRC or
// loses its sync". The one place a FlacProblem is worded.
std::string flacProblemText(const FlacProblem& problem);
