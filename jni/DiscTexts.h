#pragma once

#include <cstdint>
#include <string>

#include "CDDrive.h"

// The texts of the native methods, each built from a drive that holds at least one track.

// The disc identifier, the track count, every track's start in frames and the disc's end
// in seconds: "%08X %d %ld ... %ld".
std::string discIdentificationText(const CDDrive& drive, std::uint32_t trackCount);

// The track count and every track's length in whole seconds: "%d %d ... %d".
std::string trackLengthsText(const CDDrive& drive, std::uint32_t trackCount);
