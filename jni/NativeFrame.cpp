#include "NativeFrame.h"

#include <memory>

#include "Diagnostics.h"
#include "JavaThread.h"
#include "MCICDDrive.h"

namespace {

constexpr char kFailureText[] = " ";

}  // namespace

jstring readDiscAsText(JNIEnv* env, DiscTextBuilder buildText,
                       std::chrono::milliseconds driveWait) {
  std::string text = kFailureText;
  Diagnostics diagnostics;
  try {
    const DriveLock lock(DriveLock::mciKey(), driveWait,
                         [env] { return javaThreadInterrupted(env); });
    if (!lock.held()) {
      diagnostics.add("%s\n", lock.whyNotHeld().c_str());
    } else {
      const std::unique_ptr<CDDrive> drive = std::make_unique<MCICDDrive>("cdaudio", diagnostics);
      if (const std::uint32_t trackCount = drive->getTrackCount()) {
        text = buildText(*drive, trackCount);
      }
    }
  } catch (...) {
    // Out of memory: the failure text stands, and the drive, if it was made, has been
    // closed on the way out.
  }
  // Only now, with the drive closed and the lock let go: a standard error that nobody reads
  // blocks this thread alone.
  diagnostics.write();
  return env->NewStringUTF(text.c_str());
}
