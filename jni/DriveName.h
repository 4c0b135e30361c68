#pragma once

#include <jni.h>

#include <optional>
#include <string>
#include <variant>

#include "DiscFailure.h"

// The drive or file that a Java string names, in the bytes by which the system names files:
// each character as the C library's locale writes it, the locale that the JVM takes from
// the environment at its start and whose encoding its own file names use. So a name that
// Java can open names the same file here, a character beyond the Basic Multilingual Plane
// or a name of ISO 8859-1 under such a locale included. A name that no file can have (one
// holding a NUL, a character the encoding lacks, half a surrogate pair) is a failure that
// shows the name in UTF-8.
using DriveName = std::variant<std::string, DiscFailure>;

// Empty when the JVM fails to hand over the characters: its OutOfMemoryError is pending.
std::optional<DriveName> driveNameOf(JNIEnv* env, jstring name);
