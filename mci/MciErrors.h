#pragma once

#include "MciApi.h"

// The platform's MCI error codes that the "cdaudio" device answers with.
enum MciErrorCode : MCIERROR {
  kMciUnrecognizedCommand = 261,
  kMciHardware = 262,
  kMciInvalidDeviceName = 263,
  kMciOutOfMemory = 264,
  kMciDeviceOpen = 265,
  kMciCannotLoadDriver = 266,
  kMciDeviceNotReady = 276,
  kMciOutOfRange = 282,
};

// The platform's text for an error code, or nullptr for a code it does not know.
const char* mciErrorText(MCIERROR code);
