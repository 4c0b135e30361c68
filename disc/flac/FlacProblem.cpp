#include "FlacProblem.h"

std::string flacProblemText(const FlacProblem& problem) {
  const std::string at = std::to_string(problem.sample);
  switch (problem.fault) {
    case FlacFault::kNotFlac:
      return "not a FLAC file (no FLAC stream with a STREAMINFO block)";
    case FlacFault::kNotCdAudio:
      return "a FLAC file of " + std::to_string(problem.channels) + " channels of " +
             std::to_string(problem.bits) + "-bit samples at " + std::to_string(problem.rate) +
             " Hz, not CD audio (16-bit stereo at 44100 Hz)";
    case FlacFault::kNoLength:
      return "a FLAC file whose STREAMINFO does not say how many samples it holds";
    case FlacFault::kDamaged:
      return "a damaged FLAC file: a frame near sample " + at +
             " fails its CRC or can not be decoded";
    case FlacFault::kCutShort:
      return "a damaged FLAC file, cut short or damaged at its end: sample " + at +
             ", which its STREAMINFO says it holds, does not decode";
    case FlacFault::kShrank:
      return "a FLAC file that was cut short while it was read, near sample " + at;
    case FlacFault::kTooLong:
      return "a damaged FLAC file: more samples than the " + at + " its STREAMINFO says";
    case FlacFault::kWrongMd5:
      return "a damaged FLAC file: its samples are not those whose MD5 its STREAMINFO holds";
    case FlacFault::kNoMemory:
      break;
  }
  return "a FLAC file that could not be decoded: no memory for the decoder";
}
