#include "DriveFailures.h"
#include "ScsiSense.h"
#include "WatchedDrive.h"

namespace {

constexpr std::uint8_t kIllegalRequest = 0x5;

bool announcesChange(MediaEvent event) {
  return event == MediaEvent::kNewMedium || event == MediaEvent::kMediumRemoved ||
         event == MediaEvent::kMediumChanged;
}

}  // namespace

MediumObservation MediumPoller::observe(WatchedDrive& drive, bool readinessNeeded) {
  MediumObservation seen;
  ScsiTransport& commands = drive.commands();
  if (!readinessNeeded && !noMediaEvents) {
    const auto command = mediaEventCommand();
    std::uint8_t reply[kMediaEventReplySize];
    const ScsiOutcome outcome = commands.send(command.data(), command.size(), reply, sizeof reply);
    if (outcome.status == ScsiOutcome::Status::kRefused) return drive.mediumWithoutCommands();
    if (deliveredReply(outcome)) {
      const auto status = parseMediaEventReply(reply, outcome.transferred);
      if (!status) {
        noMediaEvents = true;
      } else {
        // Events that came while the drive was asked with TEST UNIT READY alone are
        // those of the disc just read.
        seen.changed = !eventsStale && announcesChange(status->event);
        eventsStale = false;
        if (!status->present) {
          seen.medium = Medium::kNone;
          return seen;
        }
        if (!seen.changed) {
          seen.medium = Medium::kReady;
          return seen;
        }
      }
    } else if (outcome.sense && isUnitAttention(*outcome.sense)) {
      seen.changed = true;
    } else if (outcome.sense && outcome.sense->key == kIllegalRequest) {
      noMediaEvents = true;
    }
  }
  // Once: a unit attention is a change, and the next poll asks again. So a poll sends two
  // commands at most, and the table of contents read after it a third.
  eventsStale = true;
  const auto command = testUnitReadyCommand();
  const ScsiOutcome outcome = commands.send(command.data(), command.size(), nullptr, 0);
  if (outcome.status == ScsiOutcome::Status::kRefused) {
    MediumObservation platform = drive.mediumWithoutCommands();
    platform.changed = platform.changed || seen.changed;
    return platform;
  }
  const Readiness readiness = readinessOf(outcome);
  seen.changed = seen.changed || readiness.changed;
  seen.medium = readiness.medium;
  if (readiness.medium == Medium::kUnreadable) {
    seen.problem = failureFor(outcome, drive.name(), "checking the disc");
  }
  return seen;
}

WatchReport pollDrive(WatchedDrive& drive, MediumPoller& poller, WatchState& state) {
  return state.next(poller.observe(drive, state.readinessNeeded()),
                    [&drive] { return drive.readToc(); });
}
