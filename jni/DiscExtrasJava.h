#pragma once

#include <jni.h>

#include "DiscReader.h"

// A disc's table and extras as cd.Disc's readWithExtras returns them: {int[] table, the
// catalog number or null, String[] of every track's ISRC, Object[] of CD-Text blocks or
// null}, each block {Integer language, Integer character code, int[] of pack type and track
// pairs, byte[][] of their texts}. Null with the JVM's error pending where a step failed.
jobjectArray javaDiscWithExtras(JNIEnv* env, const DiscWithExtras& disc, jintArray table);
