#pragma once

#include <string>

#include "DiscFailure.h"

// Reads the table of contents of a disc once, control bits included, through the
// platform's reader (one implementation per platform, chosen by the build). `drive` names
// the drive as the platform does: on Linux a device node or a table-of-contents file, on
// Windows a drive letter ("D:", "D" or "D:\"). Empty: the system's first CD drive.
DiscReading readDisc(const std::string& drive);
