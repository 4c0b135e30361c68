// Where the MCI layer is our own, each copy of the library has its own "cdaudio" device:
// locks of this copy's serve, one a drive, found by its key. (A mutex and a condition rather
// than a timed mutex, whose timed wait ThreadSanitizer does not see.)
#include "DriveLock.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>

#include "NeverDestroyed.h"
#include "OpenDisc.h"

namespace {

// The keys of the drives held; one condition for all, few callers wait at once.
struct DriveStates {
  std::mutex mutex;
  std::condition_variable letGo;
  std::set<std::string> held;
};

// Never destroyed: a condition destroyed at exit would wait for the callers waiting on it.
DriveStates& driveStates() {
  static NeverDestroyed<DriveStates> states;
  return states.get();
}

}  // namespace

std::optional<std::string> DriveLock::keyOf(const std::string& drive) {
  const std::string path = drive.empty() ? findFirstCdDrive() : drive;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return std::nullopt;
  // One drive, whichever link names it (/dev/cdrom, /dev/sr0).
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string DriveLock::mciKey() {
  const char* configured = std::getenv("TOCMATE_DRIVE");
  return keyOf(configured != nullptr ? configured : "").value_or("cdaudio");
}

DriveLock::DriveLock(const std::optional<std::string>& key, std::chrono::milliseconds wait,
                     const StopWaiting& stopWaiting) noexcept
    : wait(wait) {
  if (!key) {
    lockless = true;
    return;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + wait;
  DriveStates& states = driveStates();
  try {
    std::unique_lock<std::mutex> lock(states.mutex);
    this->key = *key;
    const auto free = [this, &states] { return states.held.count(this->key) == 0; };
    while (!free()) {
      const Clock::time_point now = Clock::now();
      if (now >= deadline) return;
      const Clock::time_point until =
          stopWaiting ? std::min(deadline, now + kStopCheckInterval) : deadline;
      if (states.letGo.wait_until(lock, until, free)) break;
      if (stopWaiting) {
        lock.unlock();
        stoppedWaiting = stopWaiting();
        if (stoppedWaiting) return;
        lock.lock();
      }
    }
    states.held.insert(this->key);
    handle = &states;
  } catch (...) {
    // No memory for the key: not held, the caller says the drive is busy.
  }
}

DriveLock::~DriveLock() {
  if (handle == nullptr) return;
  DriveStates& states = driveStates();
  {
    const std::lock_guard<std::mutex> lock(states.mutex);
    states.held.erase(key);
  }
  states.letGo.notify_all();
}
