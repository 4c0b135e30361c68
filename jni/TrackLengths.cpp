#include "DiscTexts.h"
#include "NativeFrame.h"
#include "cd_Tocmate.h"

std::string trackLengthsText(const CDDrive& drive, std::uint32_t trackCount) {
  std::string text;
  appendPiece(text, "%d", static_cast<int>(trackCount));
  for (std::uint32_t i = 0; i < trackCount; ++i) {
    appendPiece(text, " %d", static_cast<int>(drive.getTrackSeconds(i)));
  }
  return text;
}

JNIEXPORT jstring JNICALL Java_cd_Tocmate_getTrackLengths(JNIEnv* env, jclass) {
  return readDiscAsText(env, trackLengthsText);
}
