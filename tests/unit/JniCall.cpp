#include "JniCall.h"

#include <jni.h>

#include <cstdio>

namespace {

thread_local char lastText[4096];

jstring JNICALL keepText(JNIEnv*, const char* utf) {
  std::snprintf(lastText, sizeof lastText, "%s", utf);
  return reinterpret_cast<jstring>(lastText);
}

}  // namespace

const char* callNative(NativeMethod method) {
  JNINativeInterface_ functions{};
  functions.NewStringUTF = keepText;
  JNIEnv env{};
  env.functions = &functions;
  lastText[0] = '\0';
  const jstring result = method(&env, nullptr);
  return result == reinterpret_cast<jstring>(lastText) ? lastText : "(no string made)";
}
