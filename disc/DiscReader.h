#pragma once

#include <string>
#include <vector>

#include "DiscExtras.h"
#include "DiscFailure.h"

// Reads the table of contents of a disc once, control bits included, through the
// platform's reader (one implementation per platform, chosen by the build). `drive` names
// the drive as the platform does: on Linux a device node or a table-of-contents file, on
// Windows a drive letter ("D:", "D" or "D:\"). Empty: the system's first CD drive.
DiscReading readDisc(const std::string& drive);

// A table of contents with the extras asked for (kExtraMcn | kExtraIsrc | kExtraCdText);
// what was not asked for, or what the disc or drive does not give, stays empty.
struct DiscWithExtras {
  TableOfContents toc;
  DiscExtras extras;
};
using DiscExtrasReading = std::variant<DiscWithExtras, DiscFailure>;

// Reads the table as readDisc(drive) does, then the extras asked for: a table-of-contents
// file gives those it holds, a drive answers them with a command each (see DiscExtras.h),
// asking `interrupted` before each and sending none once ExtrasLimits::kDefaultTime has
// passed since the table was read.
DiscExtrasReading readDisc(const std::string& drive, unsigned extras,
                           const ExtrasLimits::Interrupted& interrupted = nullptr);

// A CD drive of the machine: the name readDisc takes, and its names as the drive gives them.
struct CdDriveInfo {
  std::string name, vendor, model, revision;
};

// The machine's CD drives; empty when there is none. Spins no drive up, and leaves out
// nothing but a drive that can not be named at all.
std::vector<CdDriveInfo> listCdDrives();
