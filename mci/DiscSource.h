#pragma once

#include <string>
#include <variant>

#include "FileDescriptor.h"
#include "MciApi.h"
#include "TableOfContents.h"

// Why a disc could not be read: the MCI code to answer with, and what a user should know
// to mend it (which path, what went wrong).
struct DiscError {
  MCIERROR code;
  std::string detail;
};

using DiscReading = std::variant<TableOfContents, DiscError>;

// A disc that the "cdaudio" device has open: its table of contents, read once, and for a
// CD drive the device node, held open until the device is closed.
struct OpenDisc {
  TableOfContents toc;
  FileDescriptor node;
};

using DiscOpening = std::variant<OpenDisc, DiscError>;

// Opens the disc that TOCMATE_DRIVE names: a CD drive's device node or a table-of-contents
// file. Unset, the system's first CD drive.
DiscOpening openConfiguredDisc();

// The system's first CD drive: `devCdrom` where it exists, else the first drive that the
// kernel's drive list (/proc/sys/dev/cdrom/info) names; empty when there is none.
std::string findFirstCdDrive(const char* devCdrom = "/dev/cdrom",
                             const char* driveList = "/proc/sys/dev/cdrom/info");
