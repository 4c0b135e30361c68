#pragma once

#include <string>
#include <vector>

#include "DiscReader.h"

// The CD drives that the kernel's drive list names, as nodes in `dev`, named by their
// attributes in `sysBlock` (sysfs) or, where those are missing, by an INQUIRY.
std::vector<CdDriveInfo> listCdDrives(const char* driveList, const std::string& sysBlock,
                                      const std::string& dev);
