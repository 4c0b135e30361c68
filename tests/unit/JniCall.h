#pragma once

#include <jni.h>

#include <string>

#include "cd_Tocmate.h"

using NativeMethod = jstring(JNICALL*)(JNIEnv*, jclass);

// A JNI environment as the JVM gives a native method, whose NewStringUTF keeps the text in
// a fixed buffer of the thread; keptText returns that text for what the method returned,
// valid until the thread's next call. Allocates nothing itself, so that allocation failures
// injected into a call hit only the library.
JNIEnv* textKeepingEnvironment();
const char* keptText(jstring result);

// Calls a native method as the JVM would, in that environment; returns its text.
const char* callNative(NativeMethod method);

inline std::string callGetCDDBNumbers() { return callNative(Java_cd_Tocmate_getCDDBNumbers); }
inline std::string callGetTrackLengths() { return callNative(Java_cd_Tocmate_getTrackLengths); }
