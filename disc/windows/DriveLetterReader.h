#pragma once

#include <string>
#include <variant>

#include "DiscFailure.h"
#include "DriveLetters.h"

// A CD drive's letter ("D:"), its device opened for MMC commands (or for reading only where
// writing is denied), and its table of contents read once through the CD-ROM class driver.
struct OpenDriveLetter {
  std::string letter;
  Handle handle;
  TableOfContents toc;
};

// Opens the drive that `drive` names as readDisc takes it.
std::variant<OpenDriveLetter, DiscFailure> openDriveLetter(const std::string& drive);

// The table of contents of the drive open on `handle`, read again through the class driver.
DiscReading readDriveLetterTable(HANDLE handle, const std::string& letter);

// What a Windows error while `doing` something with the drive means, as readDisc words it.
DiscFailure driveLetterFailure(DWORD error, const std::string& letter, const char* doing);
