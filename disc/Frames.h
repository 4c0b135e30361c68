#pragma once

#include <cstdint>

// CD addresses count frames: 75 a second. Absolute addresses include the two-second
// lead-in (150 frames) that logical block addresses leave out.
constexpr std::uint32_t kFramesPerSecond = 75;
constexpr std::uint32_t kSecondsPerMinute = 60;
constexpr std::uint32_t kFramesPerMinute = kSecondsPerMinute * kFramesPerSecond;
constexpr std::uint32_t kLeadInFrames = 2 * kFramesPerSecond;

// An address as minutes, seconds and frames.
struct Msf {
  std::uint32_t minutes;
  std::uint32_t seconds;
  std::uint32_t frames;
};

constexpr std::uint32_t framesOf(const Msf& msf) {
  return msf.minutes * kFramesPerMinute + msf.seconds * kFramesPerSecond + msf.frames;
}

constexpr Msf msfOf(std::uint32_t frames) {
  return {frames / kFramesPerMinute, frames / kFramesPerSecond % kSecondsPerMinute,
          frames % kFramesPerSecond};
}

// A frame of audio is one sector of CD-DA: 588 stereo samples of two 16-bit little-endian
// values, 2352 bytes.
constexpr std::uint32_t kSamplesPerFrame = 588;
constexpr std::uint32_t kBytesPerSample = 4;
constexpr std::uint32_t kAudioFrameBytes = kSamplesPerFrame * kBytesPerSample;
