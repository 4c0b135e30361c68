// cd.DriveWatch's and cd.CdDrive's native methods for a drive's changes and its tray: a
// watch open on a drive, one poll of it at a time from the Java thread that watches, and
// tray moves. No C++ exception leaves them.
#include <chrono>
#include <memory>
#include <new>

#include "DiscFailureJava.h"
#include "DriveLock.h"
#include "DriveName.h"
#include "JavaThread.h"
#include "PrintableText.h"
#include "WatchedDrive.h"
#include "cd_CdDrive.h"
#include "cd_DriveWatch.h"

namespace {

// A poll waits this long for the drive: the drive's other users keep it for a reading, or
// for good (an audio stream), and a poll without the drive is skipped, to come again.
constexpr std::chrono::milliseconds kPollLockWait{200};

struct NativeWatch {
  std::optional<std::string> lockKey;
  std::unique_ptr<WatchedDrive> drive;
  MediumPoller poller;
  WatchState state;
};

NativeWatch& watchOf(jlong handle) { return *reinterpret_cast<NativeWatch*>(handle); }

jstring printableString(JNIEnv* env, const std::string& text) {
  return env->NewStringUTF(printable(text).c_str());
}

// {the drive's name where its disc left, else null; the table of the disc that arrived, or
// null; {reason, drive, message} of a disc that stays unreadable, or null}.
jobjectArray javaReport(JNIEnv* env, const WatchReport& report, const std::string& drive) {
  const jclass objectClass = env->FindClass("java/lang/Object");
  if (objectClass == nullptr) return nullptr;
  const jobjectArray result = env->NewObjectArray(3, objectClass, nullptr);
  if (result == nullptr) return nullptr;
  if (report.removed) {
    const jstring name = printableString(env, drive);
    if (name == nullptr) return nullptr;
    env->SetObjectArrayElement(result, 0, name);
  }
  if (report.inserted) {
    const jintArray table = javaTable(env, *report.inserted);
    if (table == nullptr) return nullptr;
    env->SetObjectArrayElement(result, 1, table);
  }
  if (report.unreadable) {
    const jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    const jobjectArray failure = env->NewObjectArray(3, stringClass, nullptr);
    if (failure == nullptr) return nullptr;
    const std::string texts[3] = {javaReasonName(report.unreadable->reason),
                                  report.unreadable->drive, report.unreadable->detail};
    for (jsize i = 0; i < 3; ++i) {
      const jstring text = printableString(env, texts[i]);
      if (text == nullptr) return nullptr;
      env->SetObjectArrayElement(failure, i, text);
    }
    env->SetObjectArrayElement(result, 2, failure);
  }
  return result;
}

}  // namespace

JNIEXPORT jlong JNICALL Java_cd_DriveWatch_open(JNIEnv* env, jclass, jstring javaName) {
  try {
    const std::optional<DriveName> name = driveNameOf(env, javaName);
    if (!name) return 0;
    if (const auto* unnamed = std::get_if<DiscFailure>(&*name)) {
      throwFailure(env, *unnamed);
      return 0;
    }
    const std::string& drive = std::get<std::string>(*name);
    DriveWatching watching = watchDrive(drive);
    if (const auto* failure = std::get_if<DiscFailure>(&watching)) {
      throwFailure(env, *failure);
      return 0;
    }
    auto watch = std::make_unique<NativeWatch>();
    watch->lockKey = DriveLock::keyOf(drive);
    watch->drive = std::move(std::get<std::unique_ptr<WatchedDrive>>(watching));
    return reinterpret_cast<jlong>(watch.release());
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env, "no memory left to watch the drive");
  } catch (...) {
    throwDiscReadException(env, "READ_FAILED", javaName,
                           "the drive can not be watched: an unexpected failure");
  }
  return 0;
}

JNIEXPORT jstring JNICALL Java_cd_DriveWatch_name(JNIEnv* env, jclass, jlong handle) {
  try {
    return printableString(env, watchOf(handle).drive->name());
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env, "no memory left to watch the drive");
  }
  return nullptr;
}

JNIEXPORT jobjectArray JNICALL Java_cd_DriveWatch_poll(JNIEnv* env, jclass, jlong handle) {
  try {
    NativeWatch& watch = watchOf(handle);
    WatchReport report;
    {
      // The drive is held for this poll's commands alone.
      const DriveLock lock(watch.lockKey, kPollLockWait);
      if (!lock.held()) return nullptr;
      report = pollDrive(*watch.drive, watch.poller, watch.state);
    }
    return report.empty() ? nullptr : javaReport(env, report, watch.drive->name());
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env, "no memory left to watch the drive");
  } catch (...) {
    // Nothing else is thrown on the way; should it ever be, this poll tells nothing.
  }
  return nullptr;
}

JNIEXPORT void JNICALL Java_cd_DriveWatch_release(JNIEnv*, jclass, jlong handle) {
  delete &watchOf(handle);
}

JNIEXPORT void JNICALL Java_cd_CdDrive_moveTray(JNIEnv* env, jclass, jstring javaName,
                                                jboolean eject) {
  try {
    const std::optional<DriveName> name = driveNameOf(env, javaName);
    if (!name) return;
    if (const auto* unnamed = std::get_if<DiscFailure>(&*name)) {
      throwFailure(env, *unnamed);
      return;
    }
    const std::string& drive = std::get<std::string>(*name);
    const DriveLock lock(DriveLock::keyOf(drive), DriveLock::kDefaultWait,
                         [env] { return javaThreadInterrupted(env); });
    if (!lock.held()) {
      throwFailure(env, lockFailure(lock, drive));
      return;
    }
    const auto failure = moveTray(drive, eject ? TrayMove::kEject : TrayMove::kClose);
    if (failure) throwFailure(env, *failure);
  } catch (const std::bad_alloc&) {
    throwOutOfMemory(env, "no memory left to move the tray");
  } catch (...) {
    throwDiscReadException(env, "READ_FAILED", javaName,
                           "the tray can not be moved: an unexpected failure");
  }
}
