#pragma once

#include <jni.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "CDDrive.h"
#include "DriveLock.h"

// Builds a method's text from a drive that holds at least one track.
using DiscTextBuilder = std::string (*)(const CDDrive& drive, std::uint32_t trackCount);

// The frame both native methods share: reads the disc in the "cdaudio" device and returns
// buildText's text as a Java string, or a text of one space when no table of contents can
// be read, when the call waited driveWait for the drive in vain, or when its Java thread was
// interrupted while it waited (the interrupt status stays set). Its reports
// go to standard error once the drive is closed and let go. No C++ exception leaves it.
// The native methods wait the default; tests wait less.
jstring readDiscAsText(JNIEnv* env, DiscTextBuilder buildText,
                       std::chrono::milliseconds driveWait = DriveLock::kDefaultWait);
