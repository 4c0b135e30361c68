#pragma once

#include <jni.h>

#include <string>

#include "cd_Disc.h"
#include "cd_Tocmate.h"

using NativeMethod = jstring(JNICALL*)(JNIEnv*, jclass);

// A JNI environment as the JVM gives a native method, whose NewStringUTF keeps the text in
// a fixed buffer of the thread, and whose thread is interrupted as set below; keptText returns that
// text for what the method returned, valid until the thread's next call. Allocates nothing itself,
// so that allocation failures injected into a call hit only the library.
JNIEnv* textKeepingEnvironment();
const char* keptText(jstring result);

// What Thread.isInterrupted() answers on this thread in that environment; false at first.
void setJavaThreadInterrupted(bool interrupted);

// Calls a native method as the JVM would, in that environment; returns its text.
const char* callNative(NativeMethod method);

inline std::string callGetCDDBNumbers() { return callNative(Java_cd_Tocmate_getCDDBNumbers); }
inline std::string callGetTrackLengths() { return callNative(Java_cd_Tocmate_getTrackLengths); }
inline std::string callReadBothTexts() { return callNative(Java_cd_Tocmate_getBothTexts); }

using DiscTableMethod = jintArray(JNICALL*)(JNIEnv*, jclass, jstring);

// What Disc's native method did, as a minimal JNI environment saw it. The texts and the
// table live in fixed buffers of the thread, valid until its next call.
struct DiscTableCall {
  const jint* table;  // the array it returned; null when it returned none
  int tableSize;
  const char* exception;  // the class of the exception it left pending; empty for none
  const char* reason;     // a DiscReadException's reason, drive and message
  const char* drive;
  const char* message;  // also an error's message given to ThrowNew
  bool jniMisused;      // it called a function with an exception pending, returned an
                        // array beside one, or left a string's characters unreleased
};

// Calls Disc's native method with `drive` as the Java string, as the JVM would. When
// `failingJniCall` is n >= 0, the n-th call (from 0) of a JNI function that can fail fails
// as the JVM's do when out of memory: it returns null with an OutOfMemoryError pending.
// Allocates nothing itself, like callNative.
DiscTableCall callDiscTable(DiscTableMethod method, const char* drive, long failingJniCall = -1);
