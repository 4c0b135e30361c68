#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "DiscFailure.h"
#include "ScsiTransport.h"

// The MMC commands that ask a drive about its medium without spinning a disc up, and those
// that move its tray, with what their answers mean.

// GET EVENT STATUS NOTIFICATION, polled, for the media class alone.
std::array<std::uint8_t, 10> mediaEventCommand();
constexpr std::size_t kMediaEventReplySize = 8;

// A media event; reading it from the drive consumes it.
enum class MediaEvent { kNone, kEjectRequest, kNewMedium, kMediumRemoved, kMediumChanged, kOther };

struct MediaStatus {
  MediaEvent event = MediaEvent::kNone;
  bool present = false;
  bool trayOpen = false;
};

// The media status of a reply, whatever its bytes: empty when it gives none (too short, a
// length too small, "no event available", another class than the media class).
std::optional<MediaStatus> parseMediaEventReply(const std::uint8_t* reply, std::size_t size);

std::array<std::uint8_t, 6> testUnitReadyCommand();

// What a drive's medium is, as far as a poll can tell.
enum class Medium {
  kNone,           // no disc, or an open tray
  kBecomingReady,  // a disc is spinning up
  kReady,          // a disc that can be read
  kUnreadable,     // a disc the drive can not read (an unknown format, a bad disc)
  kUnknown,        // nothing to conclude: the command failed for another reason
};

// What TEST UNIT READY's answer says. A unit attention (a new medium, a reset) is a change
// of the medium, never a failure: `changed` tells it, and the medium is to be asked again.
struct Readiness {
  Medium medium = Medium::kUnknown;
  bool changed = false;
};
Readiness readinessOf(const ScsiOutcome& outcome);

// Whether sense data is a unit attention: the medium may have changed, or the drive was reset.
bool isUnitAttention(const Sense& sense);

// START STOP UNIT with LoEj: ejects the disc (opens the tray), or loads it (closes the tray).
enum class TrayMove { kEject, kClose };
std::array<std::uint8_t, 6> startStopCommand(TrayMove move);

// The failure of a tray command's outcome, in words that say why: a program keeps the tray
// locked, the drive can not move its tray (a slot-loading drive never closes), and so on.
// Empty for success.
std::optional<DiscFailure> trayFailureOf(const ScsiOutcome& outcome, TrayMove move,
                                         const std::string& path);

// Moves the tray through START STOP UNIT (again after a unit attention): empty outer when
// the platform refuses the command, to be done another way.
std::optional<std::optional<DiscFailure>> moveTrayThrough(ScsiTransport& drive, TrayMove move,
                                                          const std::string& path);

// The failures of tray moves that every platform words alike.
DiscFailure trayLocked(const std::string& path);
DiscFailure trayCannotMove(const std::string& path, TrayMove move);
