#include "MmcMedium.h"

#include "DriveFailures.h"
#include "ScsiSense.h"

namespace {

constexpr std::uint8_t kNotReady = 0x2;
constexpr std::uint8_t kIllegalRequest = 0x5;
constexpr std::uint8_t kUnitAttention = 0x6;
constexpr std::uint8_t kLogicalUnitNotReady = 0x04;
constexpr std::uint8_t kMediumNotPresent = 0x3a;
constexpr std::uint8_t kMediumChangedCode = 0x28;
constexpr std::uint8_t kResetCode = 0x29;
constexpr std::uint8_t kRemovalProblem = 0x53;
constexpr std::uint8_t kRemovalPrevented = 0x02;

constexpr std::uint8_t kMediaClass = 4;
constexpr std::uint8_t kNoEventAvailable = 0x80;

// A unit attention may follow another (a reset, then the new medium): asked once more.
constexpr int kTrayAttempts = 2;

}  // namespace

std::array<std::uint8_t, 10> mediaEventCommand() {
  return {0x4a, 0x01, 0, 0, 1u << kMediaClass, 0, 0, 0, kMediaEventReplySize, 0};
}

std::optional<MediaStatus> parseMediaEventReply(const std::uint8_t* reply, std::size_t size) {
  // A header of four bytes and the media event descriptor's first two.
  if (reply == nullptr || size < 6) return std::nullopt;
  const std::size_t length = (std::size_t{reply[0]} << 8) | reply[1];
  if (length < 4) return std::nullopt;
  if ((reply[2] & kNoEventAvailable) != 0 || (reply[2] & 0x07) != kMediaClass) {
    return std::nullopt;
  }
  MediaStatus status;
  switch (reply[4] & 0x0f) {
    case 0:
      status.event = MediaEvent::kNone;
      break;
    case 1:
      status.event = MediaEvent::kEjectRequest;
      break;
    case 2:
      status.event = MediaEvent::kNewMedium;
      break;
    case 3:
      status.event = MediaEvent::kMediumRemoved;
      break;
    case 4:
      status.event = MediaEvent::kMediumChanged;
      break;
    default:
      status.event = MediaEvent::kOther;
  }
  status.present = (reply[5] & 0x02) != 0;
  status.trayOpen = (reply[5] & 0x01) != 0;
  return status;
}

std::array<std::uint8_t, 6> testUnitReadyCommand() { return {0, 0, 0, 0, 0, 0}; }

bool isUnitAttention(const Sense& sense) {
  return sense.key == kUnitAttention &&
         (sense.asc == kMediumChangedCode || sense.asc == kResetCode);
}

Readiness readinessOf(const ScsiOutcome& outcome) {
  if (outcome.status == ScsiOutcome::Status::kGood) return {Medium::kReady, false};
  if (outcome.status != ScsiOutcome::Status::kCheckCondition || !outcome.sense) return {};
  const Sense& sense = *outcome.sense;
  if (isUnitAttention(sense)) return {Medium::kUnknown, true};
  if (sense.key == kNotReady && sense.asc == kMediumNotPresent) return {Medium::kNone, false};
  // Spinning up, or another wait the drive will end by itself (an operation in progress).
  if (sense.key == kNotReady && sense.asc == kLogicalUnitNotReady) {
    return {Medium::kBecomingReady, false};
  }
  // A disc is in, and the drive says it can not use it (an incompatible or unknown format).
  if (sense.key == kNotReady) return {Medium::kUnreadable, false};
  return {};
}

std::array<std::uint8_t, 6> startStopCommand(TrayMove move) {
  // LoEj set, Start clear ejects; both set loads.
  return {0x1b, 0, 0, 0, static_cast<std::uint8_t>(move == TrayMove::kEject ? 0x02 : 0x03), 0};
}

DiscFailure trayLocked(const std::string& path) {
  return driveFailure(FailureReason::kTrayLocked, path,
                      "the tray is locked: a program prevents the disc's removal");
}

DiscFailure trayCannotMove(const std::string& path, TrayMove move) {
  return driveFailure(FailureReason::kUnsupported, path,
                      move == TrayMove::kEject
                          ? "the drive can not eject its disc by command"
                          : "the drive can not close its tray by itself (a slot-loading, "
                            "caddy or manual drive)");
}

std::optional<DiscFailure> trayFailureOf(const ScsiOutcome& outcome, TrayMove move,
                                         const std::string& path) {
  if (deliveredReply(outcome)) return std::nullopt;
  const char* doing = move == TrayMove::kEject ? "ejecting the disc" : "closing the tray";
  if (!outcome.sense) {
    return driveFailure(FailureReason::kReadFailed, path,
                        std::string(doing) + ": " + outcome.error);
  }
  const Sense& sense = *outcome.sense;
  if (sense.key == kIllegalRequest && sense.asc == kRemovalProblem &&
      sense.ascq == kRemovalPrevented) {
    return trayLocked(path);
  }
  // The drive knows no such command or no such field: it has no motor for that move.
  if (sense.key == kIllegalRequest) return trayCannotMove(path, move);
  return driveFailure(FailureReason::kReadFailed, path,
                      std::string(doing) + ": " + spelledOut(sense));
}

std::optional<std::optional<DiscFailure>> moveTrayThrough(ScsiTransport& drive, TrayMove move,
                                                          const std::string& path) {
  const std::array<std::uint8_t, 6> command = startStopCommand(move);
  for (int attempt = 1;; ++attempt) {
    const ScsiOutcome outcome = drive.send(command.data(), command.size(), nullptr, 0);
    if (outcome.status == ScsiOutcome::Status::kRefused) return std::nullopt;
    if (outcome.sense && isUnitAttention(*outcome.sense) && attempt < kTrayAttempts) continue;
    return trayFailureOf(outcome, move, path);
  }
}
