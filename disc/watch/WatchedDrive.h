#pragma once

#include <memory>
#include <string>
#include <variant>

#include "DiscFailure.h"
#include "MmcMedium.h"
#include "ScsiTransport.h"
#include "WatchState.h"

// A drive held open for a watch, as each platform gives it: its MMC commands, the platform's
// own word on its medium where it refuses them, and its table of contents.
class WatchedDrive {
 public:
  virtual ~WatchedDrive() = default;

  // The drive as the system names it ("/dev/sr0", "D:").
  virtual const std::string& name() const = 0;
  virtual ScsiTransport& commands() = 0;
  // The medium as the platform sees it, for a process whose commands it refuses (the
  // kernel's drive status, Windows' media check).
  virtual MediumObservation mediumWithoutCommands() = 0;
  // The table of contents, read as the platform's disc reader reads it.
  virtual DiscReading readToc() = 0;
  // Whether the system saw the medium change since this was last asked (Linux's
  // CDROM_MEDIA_CHANGED, Windows' media change count): the system's own polling may take a
  // change's unit attention and media event before the watch's commands, and a disc swapped
  // at once would go unseen. False where the system does not tell.
  virtual bool mediumChangedMeanwhile() = 0;
};

using DriveWatching = std::variant<std::unique_ptr<WatchedDrive>, DiscFailure>;

// Opens a drive for watching, as readDisc names it (empty: the system's first CD drive):
// once, for the watch's whole life, so that no open of the drive spends commands of its own.
// Each platform has its own.
DriveWatching watchDrive(const std::string& drive);

// Ejects the drive's disc or closes its tray: empty on success, else why not.
std::optional<DiscFailure> moveTray(const std::string& drive, TrayMove move);

// Asks a drive about its medium with commands that spin no disc up, one to three a poll,
// after the system's own word on a change: while
// a disc that was read is in, GET EVENT STATUS NOTIFICATION (its media events tell a removal
// or a change), where the drive gives media events; TEST UNIT READY to tell a ready disc
// from one becoming ready or none, and where the drive gives no events.
class MediumPoller {
 public:
  MediumObservation observe(WatchedDrive& drive, bool readinessNeeded);

 private:
  // Set once the drive has answered that it gives no media events.
  bool noMediaEvents = false;
  // Whether events may have come that no media event command read.
  bool eventsStale = true;
};

// One poll of a watched drive: what to report, the table of contents read when a disc is
// to be read.
WatchReport pollDrive(WatchedDrive& drive, MediumPoller& poller, WatchState& state);
