#include "MCICDDrive.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "Frames.h"

namespace {

constexpr unsigned kBufferSize = 1024;

// A report shows the command and the error text each in at most the 1023 characters that
// their buffers hold.
constexpr std::size_t kShownTextLength = kBufferSize - 1;

// A command text built from pieces in a buffer of kBufferSize bytes, cut where the buffer
// ends; a track's command is built once and then changes only its number.
class Command {
 public:
  Command() { text[0] = '\0'; }

  Command& operator<<(std::string_view piece) {
    const std::size_t added = std::min(piece.size(), kBufferSize - 1 - length);
    std::memcpy(text + length, piece.data(), added);
    length += added;
    text[length] = '\0';
    return *this;
  }
  Command& operator<<(int number) {
    char digits[16];
    const char* const end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
  }
  // Keeps the first `kept` characters.
  void cutTo(std::size_t kept) {
    length = kept;
    text[length] = '\0';
  }

  std::size_t size() const { return length; }
  const char* c_str() const { return text; }

 private:
  char text[kBufferSize];
  std::size_t length = 0;
};

// The blanks that scanf skips before a number (the C locale's).
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal integer as scanf's "%d" reads one: blanks skipped, an optional sign, then
// digits, at most `width` characters after the blanks (0: any number). Returns the end of
// what it read, or null when there is no number or it does not fit an int.
const char* readInteger(const char* text, std::size_t width, int& value) {
  while (isBlank(*text)) ++text;
  const std::size_t limit = width == 0 ? SIZE_MAX : width;
  const char* const digits = text + (*text == '+' || *text == '-' ? 1 : 0);
  const char* end = digits;
  while (static_cast<std::size_t>(end - text) < limit && isDigit(*end)) ++end;
  if (end == digits) return nullptr;
  // from_chars takes a minus sign, not a plus.
  const char* const number = *text == '+' ? digits : text;
  return std::from_chars(number, end, value).ec == std::errc() ? end : nullptr;
}

// Reads "mm:ss:ff" (each field at most two characters, as scanf's "%02d:%02d:%02d" reads
// them; anything may follow). A negative field does not parse.
bool parseMsf(const char* reply, Msf& msf) {
  int fields[3];
  const char* pos = reply;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0 && *pos++ != ':') return false;
    pos = readInteger(pos, 2, fields[i]);
    if (pos == nullptr || fields[i] < 0) return false;
  }
  msf = {static_cast<std::uint32_t>(fields[0]), static_cast<std::uint32_t>(fields[1]),
         static_cast<std::uint32_t>(fields[2])};
  return true;
}

}  // namespace

MCICDDrive::MCICDDrive(const char* deviceName, Diagnostics& diagnostics)
    : diagnostics(diagnostics) {
  Command openDevice;
  openDevice << "open " << deviceName << " wait";
  char reply[kBufferSize];
  if (sendCommand(openDevice.c_str(), reply, sizeof reply) != 0) {
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
  Command askTrackCount;
  askTrackCount << "status " << deviceName << " number of tracks";
  char reply[kBufferSize];
  if (MCIERROR code = sendCommand(askTrackCount.c_str(), reply, sizeof reply)) {
    return static_cast<int>(code);
  }
  int count = 0;
  if (readInteger(reply, 0, count) == nullptr || count < 0) {
    diagnostics.add("Can not read track count\n");
    return -1;
  }
  trackCount = static_cast<std::uint32_t>(count);
  return 0;
}

int MCICDDrive::readTrackTable(const char* deviceName) {
  // Each command is built once; a track's commands then change only their number.
  Command setFormat;
  setFormat << "set " << deviceName << " time format msf";
  Command positionOf;
  positionOf << "status " << deviceName << " position track ";
  const std::size_t positionPrefix = positionOf.size();
  Command lengthOf;
  lengthOf << "status " << deviceName << " length track ";
  const std::size_t lengthPrefix = lengthOf.size();
  char reply[kBufferSize];
  for (std::uint32_t i = 0; i < trackCount; ++i) {
    const int trackNumber = static_cast<int>(i + 1);
    if (MCIERROR code = sendCommand(setFormat.c_str(), reply, sizeof reply)) {
      return static_cast<int>(code);
    }

    positionOf.cutTo(positionPrefix);
    positionOf << trackNumber;
    if (MCIERROR code = sendCommand(positionOf.c_str(), reply, sizeof reply)) {
      return static_cast<int>(code);
    }
    Msf position;
    if (!parseMsf(reply, position)) {
      diagnostics.add("Can not read position of track\n");
      return -1;
    }

    lengthOf.cutTo(lengthPrefix);
    lengthOf << trackNumber;
    if (MCIERROR code = sendCommand(lengthOf.c_str(), reply, sizeof reply)) {
      return static_cast<int>(code);
    }
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
