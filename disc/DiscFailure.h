#pragma once

#include <string>
#include <variant>

#include "TableOfContents.h"

// Why a disc's table of contents could not be read. Each consumer turns a reason into its
// own words in one place: the MCI layer into an MCI error code, the Java API into its
// exception's reason.
enum class FailureReason {
  kNoDrive,     // no such drive, or a path that is neither a drive nor a readable source
  kNoAccess,    // the drive or file exists but may not be read
  kNoDisc,      // the drive holds no disc, or its tray is open
  kNotReady,    // the drive is becoming ready, or busy
  kReadFailed,  // the drive or file failed while being read
  kBadTable,    // what was read is no valid table of contents
  // The caller stopped waiting for the drive: its thread was interrupted.
  kInterrupted,
  kTrayLocked,   // a program keeps the tray locked: the disc may not be removed
  kUnsupported,  // the drive can not do what was asked (a slot-loading drive closes no tray)
};

// A failure with what a user needs to mend it: the drive or file that was read, and a
// detail that starts with it and says what went wrong there (an OS error, the group that
// grants access, the line of a bad file), e.g. "disc.toc line 2: 'x' is not a number of
// frames". Both may hold bytes from outside: escape them before printing.
struct DiscFailure {
  FailureReason reason;
  std::string drive;
  std::string detail;
};

using DiscReading = std::variant<TableOfContents, DiscFailure>;
