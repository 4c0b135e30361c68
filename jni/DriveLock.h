#pragma once

#include <chrono>
#include <cstdio>
#include <string>

// The process's CD drive, for one caller at a time: MCI's "cdaudio" alias belongs to the
// whole process, so a drive opened on one thread would make another's open fail, and that
// one's close would shut the first. Every copy of the library loaded into the process takes
// the same lock where the alias is the platform's. A caller waits a bounded time, so that a
// drive that hangs inside the platform does not hang every other caller with it:
//
//   const DriveLock lock;
//   if (!lock.held()) ...  // lock.busyReason() says why
class DriveLock {
 public:
  static constexpr std::chrono::milliseconds kDefaultWait{30000};

  // Waits for the drive at most `wait`.
  explicit DriveLock(std::chrono::milliseconds wait = kDefaultWait) noexcept;
  ~DriveLock();
  DriveLock(const DriveLock&) = delete;
  DriveLock& operator=(const DriveLock&) = delete;

  bool held() const { return handle != nullptr; }

  // Why the drive was not held: "The CD drive is busy: another call has been using it for
  // more than 30 seconds".
  std::string busyReason() const {
    char reason[128];
    std::snprintf(reason, sizeof reason,
                  "The CD drive is busy: another call has been using it for more than %g seconds",
                  std::chrono::duration<double>(wait).count());
    return reason;
  }

 private:
  std::chrono::milliseconds wait;
  void* handle = nullptr;  // what the platform's lock needs to be let go; null when not held
};
