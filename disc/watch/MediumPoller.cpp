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
  // A unit attention is a change, and the drive is asked again at once, as the reads do, so
  // that a disc already in at the start is seen in this poll; a second one, the next poll
  // asks again. So a poll sends three commands at most, the table of contents read a fourth.
  eventsStale = true;
  const auto command = testUnitReadyCommand();
  ScsiOutcome outcome = commands.send(command.data(), command.size(), nullptr, 0);
  Readiness readiness = readinessOf(outcome);
  if (outcome.status != ScsiOutcome::Status::kRefused && readiness.changed) {
    seen.changed = true;
    outcome = commands.send(command.data(), command.size(), nullptr, 0);
    readiness = readinessOf(outcome);
  }
  if (outcome.status == ScsiOutcome::Status::kRefused) {
    MediumObservation platform = drive.mediumWithoutCommands();
    platform.changed = platform.changed || seen.changed;
    return platform;
  }
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
