#pragma once

#include <jni.h>

#include <string>

#include "DiscFailure.h"
#include "DriveLock.h"

// What the native methods of the Java disc API share: the table of contents as Java numbers
// and their failures as a cd.DiscReadException.

// The name of a failure's DiscReadException.Reason constant.
const char* javaReasonName(FailureReason reason);

// First track, last track, lead-out, every track's start, every track's control nibble;
// null with the JVM's error pending where it has no memory for them.
jintArray javaTable(JNIEnv* env, const TableOfContents& toc);

// Throws a cd.DiscReadException. Where a step fails, the JVM's own error for it (out of
// memory, a class that can not be loaded) is pending instead.
void throwDiscReadException(JNIEnv* env, const char* reasonName, jstring drive,
                            const char* message);

// Throws the cd.DiscReadException of a failure, its drive and detail escaped.
void throwFailure(JNIEnv* env, const DiscFailure& failure);

void throwOutOfMemory(JNIEnv* env,
                      const char* what = "no memory left to read the table of contents");

// Why a lock on `drive` was not held: the drive stayed busy for the whole wait (not
// ready), or the caller's interrupt ended the wait.
DiscFailure lockFailure(const DriveLock& lock, const std::string& drive);
