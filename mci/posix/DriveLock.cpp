// Where the MCI layer is our own, each copy of the library has its own "cdaudio" device:
// a lock of this copy's serves.
#include "DriveLock.h"

#include <mutex>

namespace {

std::timed_mutex driveMutex;

}  // namespace

DriveLock::DriveLock(std::chrono::milliseconds wait) noexcept : wait(wait) {
  if (driveMutex.try_lock_for(wait)) handle = &driveMutex;
}

DriveLock::~DriveLock() {
  if (handle != nullptr) static_cast<std::timed_mutex*>(handle)->unlock();
}
