#pragma once

#include <string>

#include "OpenDisc.h"

// Reads the whole table of contents of the CD drive open on `node` once: with one SCSI
// READ TOC command where the kernel passes it on, else through the CD-ROM ioctls (header,
// every track, lead-out). The drive's status is asked only to explain a failure; a node on
// which neither answers is no CD drive. On success the node stays open with the disc.
DiscOpening readCdromDrive(FileDescriptor node, const std::string& path);

// The same reading on a node that stays its caller's.
DiscReading readCdromTable(int node, const std::string& path);
