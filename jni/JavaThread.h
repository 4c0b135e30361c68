#pragma once

#include <jni.h>

// Whether the calling Java thread has been interrupted (Thread.isInterrupted()); its
// interrupt status stays as it is, for the caller to see. A check that fails (the JVM out
// of memory) answers no and leaves no exception pending.
bool javaThreadInterrupted(JNIEnv* env) noexcept;
