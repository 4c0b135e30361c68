// winmm's "cdaudio" alias belongs to the process, whichever copy of the library opens it:
// two class loaders each load their own copy. So the lock is a mutex named after the
// process, which every copy opens.
#include "DriveLock.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

DriveLock::DriveLock(std::chrono::milliseconds wait, const StopWaiting& stopWaiting) noexcept
    : wait(wait) {
  wchar_t name[64];
  std::swprintf(name, sizeof name / sizeof name[0], L"Local\\tocmate-drive-%lu",
                static_cast<unsigned long>(GetCurrentProcessId()));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + wait;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const auto slice = stopWaiting ? std::min(left, kStopCheckInterval) : left;
    const DWORD waited =
        WaitForSingleObject(mutex, static_cast<DWORD>(std::max<long long>(slice.count(), 0)));
    // Abandoned: a thread ended while holding it. The drive is free again, and now ours.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
      handle = mutex;
      return;
    }
    if (waited != WAIT_TIMEOUT || Clock::now() >= deadline) break;
    if (stopWaiting && (stoppedWaiting = stopWaiting())) break;
  }
  CloseHandle(mutex);
}

DriveLock::~DriveLock() {
  if (handle == nullptr) return;
  ReleaseMutex(handle);
  CloseHandle(handle);
}
