// Where the MCI layer is our own, each copy of the library has its own "cdaudio" device:
// a lock of this copy's serves. (A mutex and a condition rather than a timed mutex, whose
// timed wait ThreadSanitizer does not see.)
#include "DriveLock.h"

#include <condition_variable>
#include <mutex>

namespace {

std::mutex driveState;
std::condition_variable driveLetGo;
bool driveHeld = false;

}  // namespace

DriveLock::DriveLock(std::chrono::milliseconds wait) noexcept : wait(wait) {
  std::unique_lock<std::mutex> state(driveState);
  if (driveLetGo.wait_for(state, wait, [] { return !driveHeld; })) {
    driveHeld = true;
    handle = &driveHeld;
  }
}

DriveLock::~DriveLock() {
  if (handle == nullptr) return;
  {
    const std::lock_guard<std::mutex> state(driveState);
    driveHeld = false;
  }
  driveLetGo.notify_one();
}
