#pragma once

#include "MciApi.h"
#include "OpenDisc.h"

// Opens the disc that TOCMATE_DRIVE names: a CD drive's device node, a table-of-contents
// file or a CUE sheet. Unset, the system's first CD drive.
DiscOpening openConfiguredDisc();

// The MCI error code that the "cdaudio" device answers a failure with.
MCIERROR mciErrorFor(FailureReason reason);
