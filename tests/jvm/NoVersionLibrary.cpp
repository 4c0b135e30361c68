// A library as they were before the version export: it loads, but has no libraryVersion for
// the loader to ask, which must therefore refuse it as older.
#include <jni.h>

JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM*, void*) { return JNI_VERSION_1_8; }
