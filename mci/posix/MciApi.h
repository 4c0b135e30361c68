#pragma once

// The two MCI string functions with their Windows signatures, provided by our own MCI
// layer where the platform has no winmm.
#include <cstdint>

using MCIERROR = std::uint32_t;
using HWND = void*;
using BOOL = int;

extern "C" {
MCIERROR mciSendStringA(const char* command, char* returnString, unsigned returnLength,
                        HWND callback);
BOOL mciGetErrorStringA(MCIERROR error, char* text, unsigned textLength);
}
