#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

// A CD drive, for one caller at a time in the process; each drive has its own lock, so
// that the reading, watching or ejecting of one drive never waits for another, and a
// table-of-contents file needs none. MCI's "cdaudio" alias belongs to the whole process, so
// its calls share the lock of the drive behind it (over a file, the alias's own): a drive
// opened on one thread would make another's open fail, and that one's close would shut the
// first. Every copy of the library loaded into the process takes the same lock where the
// alias is the platform's. A caller waits a bounded time, so that a drive that hangs inside
// the platform does not hang every other caller with it, and stops waiting when asked to
// (its Java thread was interrupted):
//
//   const DriveLock lock(DriveLock::keyOf(drive), DriveLock::kDefaultWait, interrupted);
//   if (!lock.held()) ...  // lock.whyNotHeld() says why
//
// Nothing of the locks is ever destroyed, so that a process may end while callers wait.
class DriveLock {
 public:
  static constexpr std::chrono::milliseconds kDefaultWait{30000};
  // How often a waiting caller asks whether to stop waiting.
  static constexpr std::chrono::milliseconds kStopCheckInterval{50};

  // Asked while waiting, without the lock's own state held: true ends the wait.
  using StopWaiting = std::function<bool()>;

  // The key of the drive that `drive` names as readDisc takes it (empty: the system's first
  // drive), the same for every name of one drive; none for a file, which needs no lock.
  static std::optional<std::string> keyOf(const std::string& drive);
  // The key of the drive behind MCI's "cdaudio" alias, or the alias's own over a file.
  static std::string mciKey();

  // Waits for the drive of `key` (none: held at once) at most `wait`, or until `stopWaiting`
  // (when given) says to stop.
  explicit DriveLock(const std::optional<std::string>& key,
                     std::chrono::milliseconds wait = kDefaultWait,
                     const StopWaiting& stopWaiting = nullptr) noexcept;
  ~DriveLock();
  DriveLock(const DriveLock&) = delete;
  DriveLock& operator=(const DriveLock&) = delete;

  bool held() const { return handle != nullptr || lockless; }
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
  std::string key;
  bool lockless = false;  // a file's: nothing to wait for
  std::chrono::milliseconds wait;
  bool stoppedWaiting = false;
  void* handle = nullptr;  // what the platform's lock needs to be let go; null when not held
};
