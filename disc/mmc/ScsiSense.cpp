#include "ScsiSense.h"

#include <cstdio>

#include "DriveFailures.h"

namespace {

constexpr std::uint8_t kRecoveredError = 0x1;
constexpr std::uint8_t kNotReady = 0x2;
constexpr std::uint8_t kMediumNotPresent = 0x3a;
constexpr std::uint8_t kTrayOpenQualifier = 0x02;
constexpr std::uint8_t kLogicalUnitNotReady = 0x04;
constexpr std::uint8_t kBecomingReadyQualifier = 0x01;

bool isBecomingReady(const Sense& sense) {
  return sense.key == kNotReady && sense.asc == kLogicalUnitNotReady &&
         sense.ascq == kBecomingReadyQualifier;
}

}  // namespace

std::optional<Sense> senseOf(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return std::nullopt;
  const auto byte = [&](std::size_t i) -> std::uint8_t { return i < size ? data[i] : 0; };
  switch (data[0] & 0x7f) {
    case 0x70:
    case 0x71:
      return Sense{static_cast<std::uint8_t>(byte(2) & 0x0f), byte(12), byte(13)};
    case 0x72:
    case 0x73:
      return Sense{static_cast<std::uint8_t>(byte(1) & 0x0f), byte(2), byte(3)};
  }
  return std::nullopt;
}

bool deliveredReply(const ScsiOutcome& outcome) {
  return outcome.status == ScsiOutcome::Status::kGood ||
         (outcome.status == ScsiOutcome::Status::kCheckCondition && outcome.sense &&
          outcome.sense->key == kRecoveredError);
}

std::string spelledOut(const Sense& sense) {
  static constexpr const char* kKeyNames[16] = {
      "no sense",       "recovered error", "not ready",      "medium error",
      "hardware error", "illegal request", "unit attention", "data protect",
      "blank check",    "vendor specific", "copy aborted",   "aborted command",
      "obsolete key",   "volume overflow", "miscompare",     "reserved key"};
  char text[64];
  std::snprintf(text, sizeof text, "%s (sense %X/%02X/%02X)", kKeyNames[sense.key & 0x0f],
                sense.key, sense.asc, sense.ascq);
  return text;
}

bool meansNoUsableDisc(const Sense& sense) {
  return (sense.key == kNotReady && sense.asc == kMediumNotPresent) || isBecomingReady(sense);
}

DiscFailure failureFor(const Sense& sense, const std::string& path, const std::string& doing) {
  if (sense.key == kNotReady && sense.asc == kMediumNotPresent) {
    return sense.ascq == kTrayOpenQualifier ? trayOpen(path) : noDisc(path);
  }
  if (isBecomingReady(sense)) return becomingReady(path);
  return driveFailure(FailureReason::kReadFailed, path, doing + ": " + spelledOut(sense));
}

DiscFailure failureFor(const ScsiOutcome& outcome, const std::string& path,
                       const std::string& doing) {
  if (outcome.sense) return failureFor(*outcome.sense, path, doing);
  return driveFailure(FailureReason::kReadFailed, path, doing + ": " + outcome.error);
}
