#include "cd_NativeLibrary.h"

// The version this library was built as: the loader refuses a library that does not match
// its classes rather than run one whose texts or behaviour may differ.
JNIEXPORT jstring JNICALL Java_cd_NativeLibrary_libraryVersion(JNIEnv* env, jclass) {
  return env->NewStringUTF(TOCMATE_VERSION);
}
