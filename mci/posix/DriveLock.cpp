// Where the MCI layer is our own, each copy of the library has its own "cdaudio" device:
// a lock of this copy's serves. (A mutex and a condition rather than a timed mutex, whose
// timed wait ThreadSanitizer does not see.)
#include "DriveLock.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "NeverDestroyed.h"

namespace {

struct DriveState {
  std::mutex mutex;
  std::condition_variable letGo;
  bool held = false;
};

// Never destroyed: a condition destroyed at exit would wait for the callers waiting on it.
DriveState& driveState() {
  static NeverDestroyed<DriveState> state;
  return state.get();
}

}  // namespace

DriveLock::DriveLock(std::chrono::milliseconds wait, const StopWaiting& stopWaiting) noexcept
    : wait(wait) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + wait;
  DriveState& state = driveState();
  std::unique_lock<std::mutex> lock(state.mutex);
  while (state.held) {
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return;
    const Clock::time_point until =
        stopWaiting ? std::min(deadline, now + kStopCheckInterval) : deadline;
    if (state.letGo.wait_until(lock, until, [&state] { return !state.held; })) break;
    if (stopWaiting) {
      lock.unlock();
      stoppedWaiting = stopWaiting();
      if (stoppedWaiting) return;
      lock.lock();
    }
  }
  state.held = true;
  handle = &state.held;
}

DriveLock::~DriveLock() {
  if (handle == nullptr) return;
  DriveState& state = driveState();
  {
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.held = false;
  }
  state.letGo.notify_one();
}
