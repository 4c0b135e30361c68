#pragma once

#include <string>
#include <vector>

#include "DiscReader.h"

constexpr char kSysClassBlock[] = "/sys/class/block";
constexpr char kCdromDriveList[] = "/proc/sys/dev/cdrom/info";

// The kernel's names of the machine's CD drives ("sr0"), in natural order (sr2 before
// sr10): the SCSI CD drives in `sysClassBlock` (sysfs's /sys/class/block), or where it has
// none, those of the kernel's drive list `driveList` (/proc/sys/dev/cdrom/info), which lists
// the latest drive first and is cut short when it grows past about 1000 bytes: a name the
// cut may have shortened is left out.
std::vector<std::string> cdDriveNames(const std::string& sysClassBlock, const char* driveList);

// The CD drives of cdDriveNames(sysClassBlock, driveList), as nodes in `dev`, named by their
// attributes in sysfs or, where those are missing, by an INQUIRY.
std::vector<CdDriveInfo> listCdDrives(const std::string& sysClassBlock, const char* driveList,
                                      const std::string& dev);
