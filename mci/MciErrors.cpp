#include "MciErrors.h"

const char* mciErrorText(MCIERROR code) {
  switch (code) {
    case kMciUnrecognizedCommand:
      return "The driver cannot recognize the specified command.";
    case kMciHardware:
      return "There is a problem with your media device. Make sure it is working correctly or "
             "contact the device manufacturer.";
    case kMciInvalidDeviceName:
      return "The specified device is not open or is not recognized by MCI.";
    case kMciOutOfMemory:
      return "Your system does not have enough memory for this task. Quit one or more "
             "applications to increase available memory, and then try again.";
    case kMciDeviceOpen:
      return "The device name is already being used as an alias by this application. Use a "
             "unique alias.";
    case kMciCannotLoadDriver:
      return "There is an undetectable problem in loading the specified device driver.";
    case kMciDeviceNotReady:
      return "The device driver is not ready.";
    case kMciOutOfRange:
      return "The specified parameter is out of range for the specified command.";
    default:
      return nullptr;
  }
}
