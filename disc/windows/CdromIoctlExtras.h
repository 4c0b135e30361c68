#pragma once

#include <windows.h>

#include "DiscExtras.h"

// The extras asked for in `wanted`, through the CD-ROM class driver's own requests, for a
// drive that refuses pass-through: the MCN through IOCTL_CDROM_READ_Q_CHANNEL, CD-Text
// through IOCTL_CDROM_READ_TOC_EX; no ISRCs, which could not be confirmed. A value is kept
// only where the driver marks it valid and it passes the checks every reader applies; what
// the driver does not give stays empty, never a failure.
DiscExtras readExtrasThroughCdromIoctls(HANDLE drive, const TableOfContents& toc, unsigned wanted);
