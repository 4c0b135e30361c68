#include "DiscTexts.h"
#include "NativeFrame.h"
#include "cd_CommandLine.h"

namespace {

// Both texts from one reading of the drive, a line feed between them: a drive that becomes
// ready (or loses its disc) between two readings can not pair one disc's identification
// with another state's lengths.
std::string bothTexts(const CDDrive& drive, std::uint32_t trackCount) {
  return discIdentificationText(drive, trackCount) + '\n' + trackLengthsText(drive, trackCount);
}

}  // namespace

JNIEXPORT jstring JNICALL Java_cd_CommandLine_readBothTexts(JNIEnv* env, jclass) {
  return readDiscAsText(env, bothTexts);
}
