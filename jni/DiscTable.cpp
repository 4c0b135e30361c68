// cd.Disc's native method: a drive's table of contents as Java numbers, or a
// cd.DiscReadException that says why there is none. No C++ exception leaves it.
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "DiscExtrasJava.h"
#include "DiscReader.h"
#include "DriveLock.h"
#include "DriveName.h"
#include "JavaThread.h"
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
    case FailureReason::kInterrupted:
      return "INTERRUPTED";
  }
  return "READ_FAILED";
}

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

// Reads the drive that a Java string names with `read`, while holding it: a drive that stays
// busy for the whole wait is not ready; a wait that the caller's interrupt ends is
// interrupted. Empty when the JVM failed to hand over the name: its error is pending.
template <typename Reading, typename Read>
std::optional<Reading> readHeldDrive(JNIEnv* env, jstring javaName, Read read) {
  const std::optional<DriveName> name = driveNameOf(env, javaName);
  if (!name) return std::nullopt;
  if (const auto* unnamed = std::get_if<DiscFailure>(&*name)) return Reading(*unnamed);
  const std::string& drive = std::get<std::string>(*name);
  // The drive is read here and nowhere else, once per Disc.read, one caller at a time.
  const DriveLock lock(DriveLock::kDefaultWait, [env] { return javaThreadInterrupted(env); });
  if (lock.held()) return Reading(read(drive));
  const std::string where = drive.empty() ? "the first CD drive" : drive;
  return Reading(
      DiscFailure{lock.stopped() ? FailureReason::kInterrupted : FailureReason::kNotReady, drive,
                  where + ": " + lock.whyNotHeld()});
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
    const auto reading = readHeldDrive<DiscReading>(
        env, drive, [](const std::string& name) { return readDisc(name); });
    if (!reading) return nullptr;
    if (const auto* toc = std::get_if<TableOfContents>(&*reading)) return javaTable(env, *toc);
    throwFailure(env, std::get<DiscFailure>(*reading));
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
    const auto reading =
        readHeldDrive<DiscExtrasReading>(env, drive, [env, extras](const std::string& name) {
          return readDisc(name, static_cast<unsigned>(extras),
                          [env] { return javaThreadInterrupted(env); });
        });
    if (!reading) return nullptr;
    if (const auto* disc = std::get_if<DiscWithExtras>(&*reading)) {
      const jintArray table = javaTable(env, disc->toc);
      return table == nullptr ? nullptr : javaDiscWithExtras(env, *disc, table);
    }
    throwFailure(env, std::get<DiscFailure>(*reading));
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env);
  } catch (...) {
    throwDiscReadException(env, "READ_FAILED", drive,
                           "the disc can not be read: an unexpected failure");
  }
  return nullptr;
}
