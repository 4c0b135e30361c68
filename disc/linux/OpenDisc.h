#pragma once

#include <string>
#include <variant>

#include "CdDriveList.h"
#include "CueImage.h"
#include "DiscExtras.h"
#include "DiscFailure.h"
#include "FileDescriptor.h"

// A disc read once: its table of contents and, for a CD drive, the device node, held open
// for as long as its user keeps the disc open; for a table-of-contents file or a CUE sheet,
// the extras it gives, and for a CUE sheet the image, its files open.
struct OpenDisc {
  TableOfContents toc;
  FileDescriptor node;
  DiscExtras fileExtras;
  std::unique_ptr<CueImage> image;
};

using DiscOpening = std::variant<OpenDisc, DiscFailure>;

// Opens a path once, without blocking, and reads what it is: a device node as a CD drive, a
// regular file as a CUE sheet when its name ends in ".cue", else as a table-of-contents
// file, anything else not at all. Empty: the system's
// first CD drive.
DiscOpening openDisc(const std::string& path);

// Why `path` could not be opened, the open having failed with `openError`: the group that
// grants access is named where the node's mode denies this user.
DiscFailure cannotOpen(const std::string& path, int openError);

// The system's first CD drive: `devCdrom` where it exists, else the first of the drives that
// CdDrive.list() gives too (see cdDriveNames); empty when there is none.
std::string findFirstCdDrive(const char* devCdrom = "/dev/cdrom",
                             const std::string& sysClassBlock = kSysClassBlock,
                             const char* driveList = kCdromDriveList);
