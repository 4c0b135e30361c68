#pragma once

#include <optional>
#include <string>

#include "OpenDisc.h"

// Opens a path as a CD drive through the kernel's CD-ROM interface and reads its whole
// table of contents once: header, every track, lead-out. A path on which the drive's
// ioctls do not answer is no drive: for a regular file the result is empty (the caller
// reads it as a table-of-contents file), for anything else an error.
std::optional<DiscOpening> openCdromDrive(const std::string& path);
