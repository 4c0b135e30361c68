#pragma once

#include <jni.h>

#include <string>

#include "DiscFailure.h"
#include "DriveLock.h"

// What the native methods of the Java disc API share: the table of contents as Java numbers
// and their failures as a cd.DiscReadException. Where a step of throwing fails, the JVM's
// own error for it (out of memory, a class that can not be loaded) is pending instead.

// First track, last track, lead-out, every track's start, every track's control nibble.
jintArray javaTable(JNIEnv* env, const TableOfContents& toc);

// Throws a cd.DiscReadException with the reason of that name, the drive and the message.
void throwDiscReadException(JNIEnv* env, const char* reasonName, jstring drive,
                            const char* message);

// Throws the failure as a cd.DiscReadException, its drive and detail escaped.
void throwFailure(JNIEnv* env, const DiscFailure& failure);

void throwOutOfMemory(JNIEnv* env, const char* what);

// Why a lock on `drive` was not held: the drive stayed busy for the whole wait (not
// ready), or the caller's interrupt ended the wait.
DiscFailure lockFailure(const DriveLock& lock, const std::string& drive);
