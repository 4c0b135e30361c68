#pragma once

#include <string>
#include <variant>

#include "DiscFailure.h"
#include "FileDescriptor.h"

// A disc read once: its table of contents and, for a CD drive, the device node, held open
// for as long as its user keeps the disc open.
struct OpenDisc {
  TableOfContents toc;
  FileDescriptor node;
};

using DiscOpening = std::variant<OpenDisc, DiscFailure>;

// Opens a CD drive's device node, or a table-of-contents file, and reads it. Empty: the
// system's first CD drive.
DiscOpening openDisc(const std::string& path);

// The system's first CD drive: `devCdrom` where it exists, else the first drive that the
// kernel's drive list (/proc/sys/dev/cdrom/info) names; empty when there is none.
std::string findFirstCdDrive(const char* devCdrom = "/dev/cdrom",
                             const char* driveList = "/proc/sys/dev/cdrom/info");
