#include <vector>

#include "DiscTexts.h"
#include "NativeFrame.h"
#include "TableDrive.h"
#include "cd_Tocmate.h"

namespace {

// Both texts from one reading of the drive, a line feed between them: a drive that becomes
// ready (or loses its disc) between two readings can not pair one disc's identification
// with another state's lengths.
std::string bothTexts(const CDDrive& drive, std::uint32_t trackCount) {
  return discIdentificationText(drive, trackCount) + '\n' + trackLengthsText(drive, trackCount);
}

}  // namespace

JNIEXPORT jstring JNICALL Java_cd_Tocmate_getBothTexts(JNIEnv* env, jclass) {
  return readDiscAsText(env, bothTexts);
}

// The same texts for a table that cd.Disc read: first track, last track, lead-out, then
// every track's start. No C++ exception leaves it.
JNIEXPORT jstring JNICALL Java_cd_Tocmate_bothTextsOf(JNIEnv* env, jclass, jintArray table) {
  try {
    std::vector<jint> values(static_cast<std::size_t>(env->GetArrayLength(table)));
    env->GetIntArrayRegion(table, 0, static_cast<jsize>(values.size()), values.data());
    TableOfContents toc;
    if (values.size() >= 3) {
      toc.firstTrack = static_cast<unsigned>(values[0]);
      toc.lastTrack = static_cast<unsigned>(values[1]);
      toc.leadOut = static_cast<std::uint32_t>(values[2]);
      toc.starts.assign(values.begin() + 3, values.end());
      toc.controls.resize(toc.starts.size());
    }
    if (values.size() < 3 || findProblem(toc)) {
      const jclass error = env->FindClass("java/lang/IllegalArgumentException");
      if (error != nullptr) env->ThrowNew(error, "not a table of contents");
      return nullptr;
    }
    return env->NewStringUTF(bothTexts(TableDrive(toc), toc.trackCount()).c_str());
  } catch (...) {
    const jclass error = env->FindClass("java/lang/OutOfMemoryError");
    if (error != nullptr) env->ThrowNew(error, "no memory left for the texts");
  }
  return nullptr;
}
