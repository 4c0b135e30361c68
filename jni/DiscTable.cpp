// cd.Disc's native method: a drive's table of contents as Java numbers, or a
// cd.DiscReadException that says why there is none. No C++ exception leaves it.
#include <new>
#include <string>
#include <vector>

#include "DiscExtrasJava.h"
#include "DiscReader.h"
#include "DriveLock.h"
#include "PrintableText.h"
#include "cd_Disc.h"

namespace {

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
  }
  return "READ_FAILED";
}

// A Java string's characters in modified UTF-8, held for the scope.
class JavaChars {
 public:
  JavaChars(JNIEnv* env, jstring text)
      : env(env), text(text), chars(env->GetStringUTFChars(text, nullptr)) {}
  ~JavaChars() {
    if (chars != nullptr) env->ReleaseStringUTFChars(text, chars);
  }
  JavaChars(const JavaChars&) = delete;
  JavaChars& operator=(const JavaChars&) = delete;

  // Null when the JVM ran out of memory; its OutOfMemoryError is then pending.
  const char* get() const { return chars; }

 private:
  JNIEnv* env;
  jstring text;
  const char* chars;
};

// First track, last track, lead-out, every track's start, every track's control nibble.
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

// Throws a cd.DiscReadException. Where a step fails, the JVM's own error for it (out of
// memory, a class that can not be loaded) is pending instead.
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

void throwOutOfMemory(JNIEnv* env) {
  const jclass error = env->FindClass("java/lang/OutOfMemoryError");
  if (error != nullptr) env->ThrowNew(error, "no memory left to read the table of contents");
}

// Reads the drive while holding it; a drive held too long by another call is not ready.
DiscReading readHeldDrive(const std::string& drive) {
  const DriveLock lock;
  if (lock.held()) return readDisc(drive);
  const std::string where = drive.empty() ? "the first CD drive" : drive;
  return DiscFailure{FailureReason::kNotReady, drive, where + ": " + lock.busyReason()};
}

// Reads the drive and the extras asked for while holding it.
DiscExtrasReading readHeldDrive(const std::string& drive, unsigned extras) {
  const DriveLock lock;
  if (lock.held()) return readDisc(drive, extras);
  const std::string where = drive.empty() ? "the first CD drive" : drive;
  return DiscFailure{FailureReason::kNotReady, drive, where + ": " + lock.busyReason()};
}

void throwFailure(JNIEnv* env, const DiscFailure& failure) {
  const std::string message = printable(failure.detail);
  const jstring failedDrive = env->NewStringUTF(printable(failure.drive).c_str());
  if (failedDrive != nullptr) {
    throwDiscReadException(env, javaReasonName(failure.reason), failedDrive, message.c_str());
  }
}

}  // namespace

JNIEXPORT jintArray JNICALL Java_cd_Disc_readTableOfContents(JNIEnv* env, jclass, jstring drive) {
  try {
    std::string name;
    {
      const JavaChars chars(env, drive);
      if (chars.get() == nullptr) return nullptr;
      name = chars.get();
    }
    // The drive is read here and nowhere else, once per Disc.read, one caller at a time.
    const DiscReading reading = readHeldDrive(name);

    if (const auto* toc = std::get_if<TableOfContents>(&reading)) return javaTable(env, *toc);
    throwFailure(env, std::get<DiscFailure>(reading));
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env);
  } catch (...) {
    // Nothing else is thrown on the way; should it ever be, the caller still gets the
    // exception it handles, naming the drive as it was given.
    throwDiscReadException(env, "READ_FAILED", drive,
                           "the table of contents can not be read: an unexpected failure");
  }
  return nullptr;
}

JNIEXPORT jobjectArray JNICALL Java_cd_Disc_readWithExtras(JNIEnv* env, jclass, jstring drive,
                                                           jint extras) {
  try {
    std::string name;
    {
      const JavaChars chars(env, drive);
      if (chars.get() == nullptr) return nullptr;
      name = chars.get();
    }
    const DiscExtrasReading reading = readHeldDrive(name, static_cast<unsigned>(extras));
    if (const auto* disc = std::get_if<DiscWithExtras>(&reading)) {
      const jintArray table = javaTable(env, disc->toc);
      return table == nullptr ? nullptr : javaDiscWithExtras(env, *disc, table);
    }
    throwFailure(env, std::get<DiscFailure>(reading));
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env);
  } catch (...) {
    throwDiscReadException(env, "READ_FAILED", drive,
                           "the disc can not be read: an unexpected failure");
  }
  return nullptr;
}
