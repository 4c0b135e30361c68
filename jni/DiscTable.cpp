// cd.Disc's native method: a drive's table of contents as Java numbers, or a
// cd.DiscReadException that says why there is none. No C++ exception leaves it.
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "DiscExtrasJava.h"
#include "DiscFailureJava.h"
#include "DiscReader.h"
#include "DriveLock.h"
#include "DriveName.h"
#include "JavaThread.h"
#include "cd_Disc.h"

namespace {

// Reads the drive that a Java string names with `read`, while holding it: a drive that stays
// busy for the whole wait is not ready; a wait that the caller's interrupt ends is
// interrupted. Empty when the JVM failed to hand over the name: its error is pending.
template <typename Reading, typename Read>
std::optional<Reading> readHeldDrive(JNIEnv* env, jstring javaName, Read read) {
  const std::optional<DriveName> name = driveNameOf(env, javaName);
  if (!name) return std::nullopt;
  if (const auto* unnamed = std::get_if<DiscFailure>(&*name)) return Reading(*unnamed);
  const std::string& drive = std::get<std::string>(*name);
  // One caller of a drive at a time: each Disc.read, and a DiscAudio for as long as it is open.
  const DriveLock lock(DriveLock::keyOf(drive), DriveLock::kDefaultWait,
                       [env] { return javaThreadInterrupted(env); });
  if (lock.held()) return Reading(read(drive));
  return Reading(lockFailure(lock, drive));
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
    throwOutOfMemory(env, "no memory left to read the table of contents");
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
    throwOutOfMemory(env, "no memory left to read the table of contents");
  } catch (...) {
    throwDiscReadException(env, "READ_FAILED", drive,
                           "the disc can not be read: an unexpected failure");
  }
  return nullptr;
}
