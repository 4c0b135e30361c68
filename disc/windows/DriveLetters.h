#pragma once

// Drive letters and the handles of their devices, shared by the readers and the drive list.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// "D:", "D" or "D:\", in either case, as "D:"; empty for anything else.
std::string driveLetterOf(const std::string& name);

// GetDriveType of "D:".
UINT driveTypeOf(const std::string& letter);

// The letters ("D:") whose drive type is CD-ROM, in alphabetical order.
std::vector<std::string> cdDriveLetters();

// The device of a drive letter ("\\.\D:") opened with `access` (0: for queries only, which
// touch no disc); empty when it can not be opened, GetLastError saying why.
Handle openDriveDevice(const std::string& letter, DWORD access);

// The device opened for MMC commands: with read and write access, which Windows requires
// for SCSI pass-through, else, where that is denied or not shared, for reading only.
Handle openDriveForCommands(const std::string& letter);

// The system's text for an error, without its line end: "(Windows error N)" where it has none.
std::string systemText(DWORD error);
