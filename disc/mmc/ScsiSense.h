#pragma once

#include <string>

#include "DiscFailure.h"
#include "ScsiTransport.h"

// What every platform makes of a command's outcome and its sense data.

// Whether the reply may be read: GOOD status, whatever sense came with it, or a CHECK
// CONDITION with RECOVERED ERROR (the drive succeeded after its own retries).
bool deliveredReply(const ScsiOutcome& outcome);

// "medium error (sense 3/11/00)".
std::string spelledOut(const Sense& sense);

// The disc is gone or not there yet: no disc, an open tray, a drive becoming ready.
bool meansNoUsableDisc(const Sense& sense);

// The failure the sense data gives, in the words every reader uses; anything but no disc or
// not ready reads as "<path>: <doing>: <the sense spelled out>".
DiscFailure failureFor(const Sense& sense, const std::string& path, const std::string& doing);

// The failure of a command that did not end with sense data.
DiscFailure failureFor(const ScsiOutcome& outcome, const std::string& path,
                       const std::string& doing);
