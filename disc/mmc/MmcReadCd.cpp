#include "MmcReadCd.h"

#include <algorithm>

#include "DriveFailures.h"
#include "Frames.h"
#include "ReadCdCommand.h"
#include "ScsiSense.h"

namespace {

constexpr std::uint8_t kCdDaSectorType = 1 << 2;
constexpr std::uint8_t kUserData = 0x10;

constexpr std::uint8_t kMediumError = 0x3;
constexpr std::uint8_t kIllegalRequest = 0x5;
constexpr std::uint8_t kIllegalModeForTrack = 0x64;

// The drive (or the way to it) did not take a command this long; a shorter one may pass.
bool refusedLength(const ScsiOutcome& outcome) {
  if (outcome.status == ScsiOutcome::Status::kRefused ||
      outcome.status == ScsiOutcome::Status::kFailed) {
    return true;
  }
  return outcome.sense && outcome.sense->key == kIllegalRequest &&
         outcome.sense->asc != kIllegalModeForTrack;
}

}  // namespace

std::array<std::uint8_t, 12> readCdAudioCommand(std::uint32_t lba, std::uint32_t count) {
  return readCdCommand(lba, count, kCdDaSectorType, kUserData, 0);
}

SectorsRead MmcAudioSectors::read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) {
  while (count > 0) {
    const std::uint32_t piece = std::min(count, perCommand);
    const std::optional<SectorsRead> read = readOnce(lba, piece, out);
    if (!read) continue;  // refused as too long: asked again for fewer
    if (read->status != SectorsRead::Status::kRead) return *read;
    lba += piece;
    count -= piece;
    out += std::size_t{piece} * kAudioFrameBytes;
  }
  return {SectorsRead::Status::kRead, std::nullopt};
}

std::optional<SectorsRead> MmcAudioSectors::readOnce(std::uint32_t lba, std::uint32_t count,
                                                     std::uint8_t* out) {
  static const std::string kDoing = "reading audio";
  const std::size_t size = std::size_t{count} * kAudioFrameBytes;
  const auto command = readCdAudioCommand(lba, count);
  const ScsiOutcome outcome = drive.send(command.data(), command.size(), out, size);
  if (deliveredReply(outcome) && outcome.transferred == size) {
    return SectorsRead{SectorsRead::Status::kRead, std::nullopt};
  }
  // Less than asked, or refused as too long: ask for fewer, down to one sector.
  if ((deliveredReply(outcome) || refusedLength(outcome)) && count > 1) {
    perCommand = std::max<std::uint32_t>(1, count / 2);
    return std::nullopt;
  }
  if (outcome.status == ScsiOutcome::Status::kRefused) {
    return SectorsRead{
        SectorsRead::Status::kRefused,
        driveFailure(FailureReason::kReadFailed, path,
                     kDoing + ": the system passes the drive no READ CD: " + outcome.error)};
  }
  if (outcome.sense && outcome.sense->key == kMediumError) {
    return SectorsRead{SectorsRead::Status::kBadSector, std::nullopt};
  }
  if (outcome.sense && outcome.sense->key == kIllegalRequest &&
      outcome.sense->asc == kIllegalModeForTrack) {
    return SectorsRead{
        SectorsRead::Status::kFailed,
        driveFailure(FailureReason::kReadFailed, path,
                     kDoing + ": sector " + std::to_string(lba) + " holds no audio")};
  }
  if (deliveredReply(outcome)) {
    return SectorsRead{
        SectorsRead::Status::kFailed,
        driveFailure(FailureReason::kReadFailed, path,
                     kDoing + ": the drive sent " + std::to_string(outcome.transferred) +
                         " of the " + std::to_string(size) + " bytes of sector " +
                         std::to_string(lba))};
  }
  return SectorsRead{SectorsRead::Status::kFailed, failureFor(outcome, path, kDoing)};
}
