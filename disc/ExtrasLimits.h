#pragma once

#include <chrono>
#include <functional>
#include <utility>

// What ends a read of the extras before its last command: the caller's interrupt, asked
// before each command, and the time the whole read may take, after which no command is
// sent. Without it, a drive that answers each command only at its timeout (30 seconds)
// would hold the drive for a timeout a track.
class ExtrasLimits {
 public:
  // Room for a slow drive's 99 ISRCs at about a second each, and the Q sub-channel reads
  // of one that lags.
  static constexpr std::chrono::seconds kDefaultTime{120};
  using Interrupted = std::function<bool()>;

  // From now, for `time`; `interrupted`, when given, says whether the caller wants to stop.
  explicit ExtrasLimits(std::chrono::steady_clock::duration time = kDefaultTime,
                        Interrupted interrupted = nullptr)
      : deadline(std::chrono::steady_clock::now() + time), asked(std::move(interrupted)) {}

  bool interrupted() const { return asked && asked(); }
  bool outOfTime() const { return std::chrono::steady_clock::now() >= deadline; }

 private:
  std::chrono::steady_clock::time_point deadline;
  Interrupted asked;
};
