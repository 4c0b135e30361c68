#include "NativeFrame.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

#include "MCICDDrive.h"

namespace {

constexpr char kFailureText[] = " ";

// MCI's "cdaudio" alias belongs to the whole process: a drive opened on one thread would
// make another's open fail, and that one's close would shut the first. One drive at a time.
std::mutex driveLock;

}  // namespace

jstring readDiscAsText(JNIEnv* env, DiscTextBuilder buildText) {
  std::string text = kFailureText;
  try {
    std::lock_guard<std::mutex> lock(driveLock);
    std::unique_ptr<CDDrive> drive = std::make_unique<MCICDDrive>("cdaudio");
    if (const std::uint32_t trackCount = drive->getTrackCount()) {
      text = buildText(*drive, trackCount);
    }
  } catch (...) {
    // Out of memory (or a failed lock): the failure text stands, and the drive, if it was
    // made, has been closed on the way out.
  }
  return env->NewStringUTF(text.c_str());
}

void appendPiece(std::string& text, const char* format, ...) {
  char piece[128];
  va_list args;
  va_start(args, format);
  std::vsnprintf(piece, sizeof piece, format, args);
  va_end(args);
  text += piece;
}
