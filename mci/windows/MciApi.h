#pragma once

// On Windows the MCI string functions come from the system's winmm.
#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>
