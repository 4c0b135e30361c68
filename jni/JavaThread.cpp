#include "JavaThread.h"

bool javaThreadInterrupted(JNIEnv* env) noexcept {
  const jclass threadClass = env->FindClass("java/lang/Thread");
  if (threadClass == nullptr) {
    env->ExceptionClear();
    return false;
  }
  const jmethodID currentThread =
      env->GetStaticMethodID(threadClass, "currentThread", "()Ljava/lang/Thread;");
  const jmethodID isInterrupted =
      currentThread != nullptr ? env->GetMethodID(threadClass, "isInterrupted", "()Z") : nullptr;
  jobject thread =
      isInterrupted != nullptr ? env->CallStaticObjectMethod(threadClass, currentThread) : nullptr;
  // Each call checked before the next, as JNI requires.
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    thread = nullptr;
  }
  const bool interrupted = thread != nullptr && env->CallBooleanMethod(thread, isInterrupted);
  if (env->ExceptionCheck()) env->ExceptionClear();
  if (thread != nullptr) env->DeleteLocalRef(thread);
  env->DeleteLocalRef(threadClass);
  return interrupted;
}
