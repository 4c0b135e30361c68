#include "MmcQFrames.h"

#include <vector>

#include "DriveFailures.h"
#include "ScsiSense.h"

namespace {

constexpr std::uint8_t kMediumError = 0x3;
constexpr std::uint8_t kIllegalRequest = 0x5;

}  // namespace

QFramesRead MmcQFrames::read(std::uint32_t lba, std::uint32_t count) {
  static const std::string kDoing = "reading the Q sub-channel";
  std::vector<std::uint8_t> reply(std::size_t{count} * kQBytes);
  const auto command = readQCommand(lba, count);
  const ScsiOutcome outcome =
      drive.send(command.data(), command.size(), reply.data(), reply.size());
  QFramesRead read;
  if (deliveredReply(outcome)) {
    for (std::size_t at = 0; at + kQBytes <= outcome.transferred; at += kQBytes) {
      if (auto position = positionOfQ(reply.data() + at)) {
        read.frames.push_back({lba + static_cast<std::uint32_t>(at / kQBytes), *position});
      }
    }
    return read;
  }
  if (outcome.status == ScsiOutcome::Status::kRefused) {
    read.failure =
        driveFailure(FailureReason::kUnsupported, path,
                     kDoing + ": the system passes the drive no READ CD: " + outcome.error);
  } else if (outcome.sense && outcome.sense->key == kIllegalRequest) {
    read.failure = driveFailure(
        FailureReason::kUnsupported, path,
        kDoing + ": the drive reads no Q sub-channel (" + spelledOut(*outcome.sense) + ")");
  } else if (!outcome.sense || outcome.sense->key != kMediumError) {
    read.failure = failureFor(outcome, path, kDoing);
  }
  return read;
}
