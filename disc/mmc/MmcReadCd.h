#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "AudioSectors.h"
#include "ScsiTransport.h"

// MMC's READ CD (BEh) of CD-DA sectors, their user data alone: 2352 bytes a sector, the
// samples as the disc holds them.
std::array<std::uint8_t, 12> readCdAudioCommand(std::uint32_t lba, std::uint32_t count);

// The most sectors a command asks for: 26 (61,152 bytes) stay within the 64 KB that
// Windows' pass-through and older kernels transfer at once.
constexpr std::uint32_t kSectorsPerReadCd = 26;

// Audio sectors through READ CD. A drive that refuses a command of many sectors (an invalid
// field, a transfer too long for its adapter) is asked for fewer, halving down to one,
// and from then on never for more. Sense data decides the rest: a MEDIUM ERROR is a bad
// sector; no disc, a changed disc and an illegal mode (a data sector) fail the read.
class MmcAudioSectors : public AudioSectors {
 public:
  // `path` names the drive in a failure.
  MmcAudioSectors(ScsiTransport& drive, std::string path) : drive(drive), path(std::move(path)) {}

  SectorsRead read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) override;

  std::uint32_t sectorsPerCommand() const { return perCommand; }

 private:
  // One command of at most perCommand sectors; empty when the drive refused so many, and
  // perCommand is fewer now.
  std::optional<SectorsRead> readOnce(std::uint32_t lba, std::uint32_t count, std::uint8_t* out);

  ScsiTransport& drive;
  std::string path;
  std::uint32_t perCommand = kSectorsPerReadCd;
};
