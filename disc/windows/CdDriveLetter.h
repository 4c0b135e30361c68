#pragma once

#include <windows.h>

#include <string>
#include <variant>

#include "DiscFailure.h"

// The drive letter ("D:") that `drive` names, of a drive of type CD-ROM (empty: the first);
// else why there is none.
std::variant<std::string, DiscFailure> cdDriveLetterOf(const std::string& drive);

// What an error of opening or reading the drive means; `doing` says which of the two failed.
DiscFailure windowsFailure(DWORD error, const std::string& letter, const char* doing);
