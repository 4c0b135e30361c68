#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AudioSectors.h"
#include "MmcCapabilities.h"
#include "ScsiTransport.h"

// MMC's READ CD (BEh) of CD-DA sectors, their user data alone: 2352 bytes a sector, the
// samples as the disc holds them.
std::array<std::uint8_t, 12> readCdAudioCommand(std::uint32_t lba, std::uint32_t count);

// The C2 error pointers READ CD may add after each sector's samples: none, 294 bytes (a bit
// for each byte of the sector), or 296 (a block error byte and a pad byte, then the 294).
enum class C2Form { kNone, kBits, kBlockAndBits };

// READ CD of CD-DA sectors with their samples and the C2 field of `form`.
std::array<std::uint8_t, 12> readCdAudioCommand(std::uint32_t lba, std::uint32_t count,
                                                C2Form form);

// The bytes of the C2 field of `form`.
std::size_t c2Bytes(C2Form form);

// The most sectors a command asks for: 26 (61,152 bytes) stay within the 64 KB that
// Windows' pass-through and older kernels transfer at once.
constexpr std::uint32_t kSectorsPerReadCd = 26;

// Audio sectors through READ CD. A drive that refuses a command of many sectors (an invalid
// field, a transfer too long for its adapter) is asked for fewer, halving down to one,
// and from then on never for more. Sense data decides the rest: a MEDIUM ERROR is a bad
// sector; no disc, a changed disc and an illegal mode (a data sector) fail the read.
// Drives differ in the C2 forms they take: the first flagged read of two sectors or more
// tries the 294-byte form, then the 296-byte one, unless the capabilities page says the
// drive has no pointers. A form counts only where the samples of a multi-sector read sit
// where it puts them, the same as a read without C2: a drive that takes the bits but sends
// no field, or a field of another size, has no C2 here. What it finds holds from then on.
// Every transfer is checked: a reply shorter than asked, by its residue or by a sentinel
// left in the buffer's tail, is asked again in fewer sectors, never parsed as whole.
class MmcAudioSectors : public AudioSectors {
 public:
  // `path` names the drive in a failure.
  MmcAudioSectors(ScsiTransport& drive, std::string path) : drive(drive), path(std::move(path)) {}

  SectorsRead read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) override;
  SectorsRead readFlagged(std::uint32_t lba, std::uint32_t count, std::uint8_t* out,
                          std::uint8_t* flagged) override;
  bool givesC2() const override { return c2 == C2Form::kBits || c2 == C2Form::kBlockAndBits; }
  void distrustC2() override { distrusted = true; }
  bool c2Distrusted() const override { return distrusted; }
  std::optional<std::uint32_t> reportedBufferKilobytes() override;
  void dropCached(std::uint32_t lba) override;

  std::uint32_t sectorsPerCommand() const { return perCommand; }

 private:
  // One command of at most perCommand sectors, its C2 field (if any) into `flagged`; empty
  // when the drive refused so many, and perCommand is fewer now.
  std::optional<SectorsRead> readOnce(std::uint32_t lba, std::uint32_t count, std::uint8_t* out,
                                      std::uint8_t* flagged);
  SectorsRead readAll(std::uint32_t lba, std::uint32_t count, std::uint8_t* out,
                      std::uint8_t* flagged);
  // Sends a READ CD into `reply`: whether all `size` bytes came, by the residue and by a
  // sentinel in the tail that the transfer must have overwritten.
  bool sendWhole(const std::array<std::uint8_t, 12>& command, std::uint8_t* reply, std::size_t size,
                 ScsiOutcome& outcome);
  // Settles the drive's C2 form with a read of `count` sectors at `lba`, held to the same
  // sectors read without C2; false while undecided (fewer than two sectors, a bad one).
  bool findC2Form(std::uint32_t lba, std::uint32_t count);
  const std::optional<DriveCapabilities>& capabilities();

  ScsiTransport& drive;
  std::string path;
  std::uint32_t perCommand = kSectorsPerReadCd;
  std::optional<C2Form> c2;                               // empty until found
  std::optional<std::optional<DriveCapabilities>> asked;  // the page, once asked for
  bool dropRefused = false;
  bool distrusted = false;
  std::vector<std::uint8_t> withC2;  // a command's reply, samples and C2 fields interleaved
};
