// winmm's "cdaudio" alias belongs to the process, whichever copy of the library opens it:
// two class loaders each load their own copy. So the lock is a semaphore of one, named after
// the process, which every copy opens. A semaphore rather than a mutex: a DiscAudio holds
// the drive from its opening to its closing, which may happen on another thread, and a
// mutex may only be released by the thread that took it.
#include "DriveLock.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

DriveLock::DriveLock(std::chrono::milliseconds wait, const StopWaiting& stopWaiting) noexcept
    : wait(wait) {
  wchar_t name[64];
  std::swprintf(name, sizeof name / sizeof name[0], L"Local\\tocmate-drive-lock-%lu",
                static_cast<unsigned long>(GetCurrentProcessId()));
  HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 1, name);
  if (semaphore == nullptr) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + wait;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const auto slice = stopWaiting ? std::min(left, kStopCheckInterval) : left;
    const DWORD waited =
        WaitForSingleObject(semaphore, static_cast<DWORD>(std::max<long long>(slice.count(), 0)));
    if (waited == WAIT_OBJECT_0) {
      handle = semaphore;
      return;
    }
    if (waited != WAIT_TIMEOUT || Clock::now() >= deadline) break;
    if (stopWaiting && (stoppedWaiting = stopWaiting())) break;
  }
  CloseHandle(semaphore);
}

DriveLock::~DriveLock() {
  if (handle == nullptr) return;
  ReleaseSemaphore(handle, 1, nullptr);
  CloseHandle(handle);
}
