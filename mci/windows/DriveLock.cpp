// winmm's "cdaudio" alias belongs to the process, whichever copy of the library opens it:
// two class loaders each load their own copy. So each drive's lock is a semaphore of one,
// named after the process and the drive, which every copy opens. A semaphore rather than a
// mutex: a DiscAudio holds the drive from its opening to its closing, which may happen on
// another thread, and a mutex may only be released by the thread that took it.
#include "DriveLock.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "CdDriveLetter.h"
#include "CueImage.h"

std::optional<std::string> DriveLock::keyOf(const std::string& drive) {
  if (isCueSheetName(drive)) return std::nullopt;
  const auto letter = cdDriveLetterOf(drive);
  if (const auto* name = std::get_if<std::string>(&letter)) return *name;
  return drive;
}

// winmm opens the first CD drive as "cdaudio".
std::string DriveLock::mciKey() { return *keyOf(""); }

DriveLock::DriveLock(const std::optional<std::string>& key, std::chrono::milliseconds wait,
                     const StopWaiting& stopWaiting) noexcept
    : wait(wait) {
  if (!key) {
    lockless = true;
    return;
  }
  // The key's bytes in hexadecimal: any drive's name makes a valid object name.
  wchar_t name[160];
  int used = std::swprintf(name, sizeof name / sizeof name[0], L"Local\\tocmate-drive-lock-%lu-",
                           static_cast<unsigned long>(GetCurrentProcessId()));
  for (unsigned char byte : *key) {
    if (used < 0 || static_cast<std::size_t>(used) + 3 > sizeof name / sizeof name[0]) break;
    used += std::swprintf(name + used, 3, L"%02x", static_cast<unsigned>(byte));
  }
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
