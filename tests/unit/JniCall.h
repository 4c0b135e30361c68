#pragma once

#include <jni.h>

#include <string>

#include "cd_Tocmate.h"

using NativeMethod = jstring(JNICALL*)(JNIEnv*, jclass);

// Calls a native method as the JVM would, with a JNI environment whose NewStringUTF keeps
// the text in a fixed buffer of the thread; returns that text, valid until the thread's
// next call. Allocates nothing itself, so that allocation failures injected into a call hit
// only the library.
const char* callNative(NativeMethod method);

inline std::string callGetCDDBNumbers() { return callNative(Java_cd_Tocmate_getCDDBNumbers); }
inline std::string callGetTrackLengths() { return callNative(Java_cd_Tocmate_getTrackLengths); }
inline std::string callReadBothTexts() { return callNative(Java_cd_Tocmate_readBothTexts); }
