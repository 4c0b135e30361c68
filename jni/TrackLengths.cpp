#include "DiscTexts.h"
#include "NativeFrame.h"
#include "NumberText.h"
#include "cd_Tocmate.h"

std::string trackLengthsText(const CDDrive& drive, std::uint32_t trackCount) {
  NumberText text(trackCount + 1);
  text.addNumber(static_cast<int>(trackCount));
  for (std::uint32_t i = 0; i < trackCount; ++i) {
    text.addCharacter(' ');
    text.addNumber(static_cast<int>(drive.getTrackSeconds(i)));
  }
  return std::move(text).take();
}

JNIEXPORT jstring JNICALL Java_cd_Tocmate_getTrackLengths(JNIEnv* env, jclass) {
  return readDiscAsText(env, trackLengthsText);
}
