#pragma once

#include <optional>
#include <string>

#include "DiscFailure.h"
#include "MmcToc.h"

// Reads the table of contents of the CD drive open on `node` with one MMC READ TOC sent
// through SG_IO, control nibbles included. The drive's sense data decides a failure: a unit
// attention (the disc was just changed) sends the command again, a few times at most;
// medium not present is no disc (or an open tray), becoming ready is not ready; anything
// else failed to read, with the sense spelled out. Empty when the kernel or the driver
// refuses SG_IO itself: the drive is then to be read through the CD-ROM ioctls.
std::optional<DiscReading> readTocThroughScsi(int node, const std::string& path,
                                              TocAddressForm form = TocAddressForm::kLba);
