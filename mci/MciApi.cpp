// mciSendStringA and mciGetErrorStringA for platforms without winmm, over one process-wide
// "cdaudio" device.
#include <cstdio>
#include <mutex>
#include <new>

#include "CdAudioDevice.h"
#include "MciErrors.h"

namespace {

std::mutex deviceLock;

CdAudioDevice& device() {
  static CdAudioDevice theDevice(openConfiguredDisc);
  return theDevice;
}

// The last failure on this thread, so that its error text can say what went wrong. Plain
// storage, since a thread_local that needs a destructor would raise the C library the library
// needs (see cmake/GlibcFloor.cmake). The drive reads error texts of at most 1024 bytes.
struct LastFailure {
  MCIERROR code;
  char detail[1024];
};
thread_local LastFailure lastFailure{};

}  // namespace

extern "C" MCIERROR mciSendStringA(const char* command, char* returnString, unsigned returnLength,
                                   HWND) {
  if (command == nullptr) return kMciUnrecognizedCommand;
  try {
    CdAudioDevice::Outcome outcome;
    {
      std::lock_guard<std::mutex> lock(deviceLock);
      outcome = device().execute(command, returnString, returnLength);
    }
    const MCIERROR code = outcome.code;
    if (code != 0) {
      lastFailure.code = code;
      std::snprintf(lastFailure.detail, sizeof lastFailure.detail, "%s", outcome.detail.c_str());
    }
    return code;
  } catch (const std::bad_alloc&) {
    return kMciOutOfMemory;
  } catch (...) {
    return kMciHardware;
  }
}

extern "C" BOOL mciGetErrorStringA(MCIERROR error, char* text, unsigned textLength) {
  if (text == nullptr || textLength == 0) return 0;
  const char* platformText = mciErrorText(error);
  if (platformText == nullptr) {
    text[0] = '\0';
    return 0;
  }
  if (lastFailure.code == error && lastFailure.detail[0] != '\0') {
    std::snprintf(text, textLength, "%s (%s)", platformText, lastFailure.detail);
  } else {
    std::snprintf(text, textLength, "%s", platformText);
  }
  return 1;
}
