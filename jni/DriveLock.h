#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

// The process's CD drive, for one caller at a time: MCI's "cdaudio" alias belongs to the
// whole process, so a drive opened on one thread would make another's open fail, and that
// one's close would shut the first. Every copy of the library loaded into the process takes
// the same lock where the alias is the platform's. A caller waits a bounded time, so that a
// drive that hangs inside the platform does not hang every other caller with it, and stops
// waiting when asked to (its Java thread was interrupted):
//
//   const DriveLock lock(DriveLock::kDefaultWait, interrupted);
//   if (!lock.held()) ...  // lock.whyNotHeld() says why
//
// Nothing of the lock is ever destroyed, so that a process may end while callers wait.
class DriveLock {
 public:
  static constexpr std::chrono::milliseconds kDefaultWait{30000};
  // How often a waiting caller asks whether to stop waiting.
  static constexpr std::chrono::milliseconds kStopCheckInterval{50};

  // Asked while waiting, without the lock's own state held: true ends the wait.
  using StopWaiting = std::function<bool()>;

  // Waits for the drive at most `wait`, or until `stopWaiting` (when given) says to stop.
  explicit DriveLock(std::chrono::milliseconds wait = kDefaultWait,
                     const StopWaiting& stopWaiting = nullptr) noexcept;
  ~DriveLock();
  DriveLock(const DriveLock&) = delete;
  DriveLock& operator=(const DriveLock&) = delete;

  bool held() const { return handle != nullptr; }
  bool stopped() const { return stoppedWaiting; }

  // Why the drive was not held, in what the calls report: "The CD drive is busy: this call
  // waited 30 seconds for it in vain", or that the wait was interrupted.
  std::string whyNotHeld() const {
    if (stoppedWaiting) return "The wait for the CD drive was interrupted";
    char reason[128];
    std::snprintf(reason, sizeof reason,
                  "The CD drive is busy: this call waited %g seconds for it in vain",
                  std::chrono::duration<double>(wait).count());
    return reason;
  }

 private:
  std::chrono::milliseconds wait;
  bool stoppedWaiting = false;
  void* handle = nullptr;  // what the platform's lock needs to be let go; null when not held
};
