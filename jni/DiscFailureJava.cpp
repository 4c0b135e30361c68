// How the native methods hand Java a disc's table and a failure: the one place where a
// failure's reason becomes the Java exception's.
#include "DiscFailureJava.h"

#include <vector>

#include "PrintableText.h"

// The one place where a failure's reason becomes the Java exception's: the name of its
// DiscReadException.Reason constant.
const char* javaReasonName(FailureReason reason) {
  switch (reason) {
    case FailureReason::kNoDrive:
      return "NO_DRIVE";
    case FailureReason::kNoAccess:
      return "NO_ACCESS";
    case FailureReason::kNoDisc:
      return "NO_DISC";
    case FailureReason::kNotReady:
      return "NOT_READY";
    case FailureReason::kReadFailed:
      return "READ_FAILED";
    case FailureReason::kBadTable:
      return "BAD_TABLE_OF_CONTENTS";
    case FailureReason::kInterrupted:
      return "INTERRUPTED";
    case FailureReason::kTrayLocked:
      return "TRAY_LOCKED";
    case FailureReason::kUnsupported:
      return "UNSUPPORTED";
  }
  return "READ_FAILED";
}

jintArray javaTable(JNIEnv* env, const TableOfContents& toc) {
  std::vector<jint> values{static_cast<jint>(toc.firstTrack), static_cast<jint>(toc.lastTrack),
                           static_cast<jint>(toc.leadOut)};
  values.insert(values.end(), toc.starts.begin(), toc.starts.end());
  values.insert(values.end(), toc.controls.begin(), toc.controls.end());
  const auto size = static_cast<jsize>(values.size());
  const jintArray table = env->NewIntArray(size);
  if (table != nullptr) env->SetIntArrayRegion(table, 0, size, values.data());
  return table;
}

void throwDiscReadException(JNIEnv* env, const char* reasonName, jstring drive,
                            const char* message) {
  const jclass exceptionClass = env->FindClass("cd/DiscReadException");
  if (exceptionClass == nullptr) return;
  const jclass reasonClass = env->FindClass("cd/DiscReadException$Reason");
  if (reasonClass == nullptr) return;
  const jfieldID reasonField =
      env->GetStaticFieldID(reasonClass, reasonName, "Lcd/DiscReadException$Reason;");
  if (reasonField == nullptr) return;
  const jobject reason = env->GetStaticObjectField(reasonClass, reasonField);
  const jmethodID constructor =
      env->GetMethodID(exceptionClass, "<init>",
                       "(Lcd/DiscReadException$Reason;Ljava/lang/String;Ljava/lang/String;)V");
  if (constructor == nullptr) return;
  const jstring text = env->NewStringUTF(message);
  if (text == nullptr) return;
  const jobject exception = env->NewObject(exceptionClass, constructor, reason, drive, text);
  if (exception != nullptr) env->Throw(static_cast<jthrowable>(exception));
}

void throwOutOfMemory(JNIEnv* env, const char* what) {
  const jclass error = env->FindClass("java/lang/OutOfMemoryError");
  if (error != nullptr) env->ThrowNew(error, what);
}

void throwFailure(JNIEnv* env, const DiscFailure& failure) {
  const std::string message = printable(failure.detail);
  const jstring failedDrive = env->NewStringUTF(printable(failure.drive).c_str());
  if (failedDrive != nullptr) {
    throwDiscReadException(env, javaReasonName(failure.reason), failedDrive, message.c_str());
  }
}

DiscFailure lockFailure(const DriveLock& lock, const std::string& drive) {
  const std::string where = drive.empty() ? "the first CD drive" : drive;
  return DiscFailure{lock.stopped() ? FailureReason::kInterrupted : FailureReason::kNotReady, drive,
                     where + ": " + lock.whyNotHeld()};
}
