// The baseline for the Java harness: a JNI call that returns a text of a given length
// without doing anything else.
#include <jni.h>

#include <string>

extern "C" JNIEXPORT jstring JNICALL Java_JavaCallCost_fixedText(JNIEnv* env, jclass, jint length) {
  const std::string text(static_cast<std::size_t>(length), '7');
  return env->NewStringUTF(text.c_str());
}
