// mciSendStringA and mciGetErrorStringA for platforms without winmm, over one process-wide
// "cdaudio" device.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

#include "CdAudioDevice.h"
#include "MciErrors.h"
#include "NeverDestroyed.h"
#include "PrintableText.h"

namespace {

std::mutex deviceLock;

// Never destroyed: at exit another thread may still be inside one of its drive commands.
CdAudioDevice& device() {
  static NeverDestroyed<CdAudioDevice> theDevice(openConfiguredDisc);
  return theDevice.get();
}

// The last failure on this thread, so that its error text can say what went wrong. Plain
// bytes, since a thread_local that needs a destructor would raise the C library the library
// needs (see cmake/GlibcFloor.cmake). A longer detail keeps both its ends, which are what an
// error text shortened to its buffer shows.
struct LastFailure {
  MCIERROR code;
  std::size_t length;
  char detail[4096];
};
thread_local LastFailure lastFailure{};

void rememberFailure(const CdAudioDevice::Outcome& outcome) {
  const std::string& detail = outcome.detail;
  constexpr std::size_t kRoom = sizeof lastFailure.detail;
  lastFailure.code = outcome.code;
  if (detail.size() <= kRoom) {
    std::memcpy(lastFailure.detail, detail.data(), detail.size());
    lastFailure.length = detail.size();
    return;
  }
  constexpr std::size_t kHead = kRoom / 2;
  std::memcpy(lastFailure.detail, detail.data(), kHead);
  std::memcpy(lastFailure.detail + kHead, detail.data() + detail.size() - (kRoom - kHead),
              kRoom - kHead);
  lastFailure.length = kRoom;
}

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
    if (code != 0) rememberFailure(outcome);
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
  std::snprintf(text, textLength, "%s", platformText);
  if (lastFailure.code != error || lastFailure.length == 0) return 1;
  // "<platform text> (<detail>)": the detail names a path or holds words of a file, so it
  // is escaped, and shortened in its middle to fit, which keeps the cause at its end.
  const std::size_t shown = std::strlen(text);
  const std::size_t frame = sizeof " ()" - 1;
  if (textLength <= shown + frame) return 1;
  char* detail = text + shown + 2;
  const std::size_t written =
      printableWithin(std::string_view(lastFailure.detail, lastFailure.length), detail,
                      textLength - 1 - shown - frame);
  if (written > 0) {
    std::memcpy(text + shown, " (", 2);
    std::memcpy(detail + written, ")", 2);
  }
  return 1;
}
