#include "DiscSource.h"

#include <cstdlib>

#include "MciErrors.h"

DiscOpening openConfiguredDisc() {
  const char* configured = std::getenv("TOCMATE_DRIVE");
  const bool named = configured != nullptr && *configured != '\0';
  DiscOpening opening = openDisc(named ? configured : "");
  auto* failure = std::get_if<DiscFailure>(&opening);
  if (failure != nullptr && !named && failure->drive.empty()) {
    failure->detail += "; TOCMATE_DRIVE can name a drive, a table-of-contents file or a CUE sheet";
  }
  return opening;
}

MCIERROR mciErrorFor(FailureReason reason) {
  switch (reason) {
    case FailureReason::kNoDrive:
    case FailureReason::kNoAccess:
      return kMciCannotLoadDriver;
    case FailureReason::kNoDisc:
    case FailureReason::kNotReady:
    case FailureReason::kInterrupted:
      return kMciDeviceNotReady;
    case FailureReason::kReadFailed:
    case FailureReason::kBadTable:
    case FailureReason::kTrayLocked:
    case FailureReason::kUnsupported:
      break;
  }
  return kMciHardware;
}
