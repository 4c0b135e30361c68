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
  // A change the system saw is one, whatever the drive's commands say now: ask its readiness.
  const bool systemSawChange = drive.mediumChangedMeanwhile();
  readinessNeeded = readinessNeeded || systemSawChange;
  ScsiTransport& commands = drive.commands();
  if (!readinessNeeded && !noMediaEvents) {
    const auto command = mediaEventCommand();
    std::uint8_t reply[kMediaEventReplySize] = {};
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
  // Once: a unit attention is a change. Where it is the first word of one (a disc already in
  // when the watch starts, a drive without media events), the disc is taken as ready to be
  // read at once: reading its table of contents, which answers a unit attention as every
  // read does, tells what is in now (the disc, none, or one not ready yet), in this poll and
  // with no command more. So a poll sends two commands at most, the table of contents a third.
  eventsStale = true;
  const bool commandsTold = seen.changed;
  seen.changed = seen.changed || systemSawChange;
  const auto command = testUnitReadyCommand();
  const ScsiOutcome outcome = commands.send(command.data(), command.size(), nullptr, 0);
  if (outcome.status == ScsiOutcome::Status::kRefused) {
    MediumObservation platform = drive.mediumWithoutCommands();
    platform.changed = platform.changed || seen.changed;
    return platform;
  }
  const Readiness readiness = readinessOf(outcome);
  seen.changed = seen.changed || readiness.changed;
  seen.medium = readiness.changed && !commandsTold ? Medium::kReady : readiness.medium;
  if (readiness.medium == Medium::kUnreadable) {
    seen.problem = failureFor(outcome, drive.name(), "checking the disc");
  }
  return seen;
}

WatchReport pollDrive(WatchedDrive& drive, MediumPoller& poller, WatchState& state) {
  return state.next(poller.observe(drive, state.readinessNeeded()),
                    [&drive] { return drive.readToc(); });
}
