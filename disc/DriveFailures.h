#pragma once

#include <string>

#include "DiscFailure.h"

// The failures of a drive that more than one way of reading it can find, in the same words.
inline DiscFailure driveFailure(FailureReason reason, const std::string& path,
                                const std::string& what) {
  return {reason, path, path + ": " + what};
}

inline DiscFailure noDisc(const std::string& path) {
  return driveFailure(FailureReason::kNoDisc, path, "no disc in the drive");
}

inline DiscFailure trayOpen(const std::string& path) {
  return driveFailure(FailureReason::kNoDisc, path, "the drive's tray is open");
}

inline DiscFailure becomingReady(const std::string& path) {
  return driveFailure(FailureReason::kNotReady, path,
                      "the drive is not ready yet; try again in a moment");
}

inline DiscFailure notADrive(const std::string& path) {
  return driveFailure(FailureReason::kNoDrive, path,
                      "neither a CD drive nor a table-of-contents file");
}
