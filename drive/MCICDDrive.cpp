#include "MCICDDrive.h"

#include <cstdio>
#include <new>

#include "Frames.h"

namespace {

constexpr unsigned kBufferSize = 1024;

// A report shows the command and the error text each in at most the 1023 characters that
// their buffers hold.
constexpr std::size_t kShownTextLength = kBufferSize - 1;

// Reads "mm:ss:ff" (each field at most two digits). A negative field does not parse.
bool parseMsf(const char* reply, Msf& msf) {
  int minutes = 0;
  int seconds = 0;
  int frames = 0;
  if (std::sscanf(reply, "%02d:%02d:%02d", &minutes, &seconds, &frames) != 3 || minutes < 0 ||
      seconds < 0 || frames < 0) {
    return false;
  }
  msf = {static_cast<std::uint32_t>(minutes), static_cast<std::uint32_t>(seconds),
         static_cast<std::uint32_t>(frames)};
  return true;
}

}  // namespace

MCICDDrive::MCICDDrive(const char* deviceName, Diagnostics& diagnostics)
    : diagnostics(diagnostics) {
  char command[kBufferSize];
  char reply[kBufferSize];
  std::snprintf(command, sizeof command, "open %s wait", deviceName);
  if (sendCommand(command, reply, sizeof reply) != 0) {
    diagnostics.add("Can not open device %s\n", deviceName);
    return;
  }
  if (readTrackCount(deviceName) != 0) {
    diagnostics.add("Can not read track count");
    return;
  }
  if (readTrackTable(deviceName) != 0) trackCount = 0;
}

MCICDDrive::~MCICDDrive() {
  tracks.clear();
  // The alias, not the device name given at construction: "open <device>" names it so.
  char reply[kBufferSize];
  sendCommand("close cdaudio", reply, sizeof reply);
}

MCIERROR MCICDDrive::sendCommand(const char* command, char* reply, unsigned replyLength) {
  reply[0] = '\0';
  MCIERROR code = mciSendStringA(command, reply, replyLength, nullptr);
  // The reply is parsed afterwards: it must end inside its buffer whatever the device did.
  reply[replyLength - 1] = '\0';
  if (code != 0) {
    char errorText[kBufferSize];
    errorText[0] = '\0';
    if (!mciGetErrorStringA(code, errorText, sizeof errorText)) {
      std::snprintf(errorText, sizeof errorText, "Unknown MCI error %lu",
                    static_cast<unsigned long>(code));
    }
    errorText[sizeof errorText - 1] = '\0';
    // Both texts may hold bytes from outside (a path, a word of a file): shown escaped, and
    // one that grows too long so loses its middle, not its end, where the cause is.
    diagnostics.add("SendString command: '");
    diagnostics.addPrintable(command, kShownTextLength);
    diagnostics.add("' returned:\n  '");
    diagnostics.addPrintable(errorText, kShownTextLength);
    diagnostics.add("'\n");
  }
  return code;
}

int MCICDDrive::readTrackCount(const char* deviceName) {
  char command[kBufferSize];
  char reply[kBufferSize];
  std::snprintf(command, sizeof command, "status %s number of tracks", deviceName);
  if (MCIERROR code = sendCommand(command, reply, sizeof reply)) return static_cast<int>(code);
  int count = 0;
  if (std::sscanf(reply, "%d", &count) != 1 || count < 0) {
    diagnostics.add("Can not read track count\n");
    return -1;
  }
  trackCount = static_cast<std::uint32_t>(count);
  return 0;
}

int MCICDDrive::readTrackTable(const char* deviceName) {
  char command[kBufferSize];
  char reply[kBufferSize];
  for (std::uint32_t i = 0; i < trackCount; ++i) {
    const int trackNumber = static_cast<int>(i + 1);
    std::snprintf(command, sizeof command, "set %s time format msf", deviceName);
    if (MCIERROR code = sendCommand(command, reply, sizeof reply)) return static_cast<int>(code);

    std::snprintf(command, sizeof command, "status %s position track %d", deviceName, trackNumber);
    if (MCIERROR code = sendCommand(command, reply, sizeof reply)) return static_cast<int>(code);
    Msf position;
    if (!parseMsf(reply, position)) {
      diagnostics.add("Can not read position of track\n");
      return -1;
    }

    std::snprintf(command, sizeof command, "status %s length track %d", deviceName, trackNumber);
    if (MCIERROR code = sendCommand(command, reply, sizeof reply)) return static_cast<int>(code);
    Msf length;
    if (!parseMsf(reply, length)) {
      diagnostics.add("Can not read length of track\n");
      return -1;
    }

    try {
      tracks.push_back(std::make_unique<TrackInfo>(TrackInfo{
          framesOf(position), framesOf(length) + 1,
          static_cast<std::int32_t>(length.minutes * kSecondsPerMinute + length.seconds)}));
    } catch (const std::bad_alloc&) {
      // Thrown on from here the exception would skip the destructor and leave the device open.
      diagnostics.add("Can not store the track table: out of memory\n");
      return -1;
    }
  }
  return 0;
}
