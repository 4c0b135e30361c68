#pragma once

#include <optional>
#include <string>

#include "DiscFailure.h"
#include "MmcToc.h"
#include "ScsiTransport.h"

// Reads a drive's table of contents with one MMC READ TOC, control nibbles included. The
// drive's sense data decides a failure: a unit attention (the disc was just changed) sends
// the command again, a few times at most; medium not present is no disc (or an open tray),
// becoming ready is not ready; anything else failed to read, with the sense spelled out.
// Empty when the platform refuses to pass the command: the drive is then to be read
// another way.
std::optional<DiscReading> readTocThrough(ScsiTransport& drive, const std::string& path,
                                          TocAddressForm form = TocAddressForm::kLba);
