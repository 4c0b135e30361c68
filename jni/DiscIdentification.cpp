#include "DiscTexts.h"
#include "Frames.h"
#include "NativeFrame.h"
#include "NumberText.h"
#include "cd_Tocmate.h"

namespace {

std::int32_t digitSum(std::int32_t value) {
  std::int32_t sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

}  // namespace

// The disc's end is the last track's start plus its length.
std::string discIdentificationText(const CDDrive& drive, std::uint32_t trackCount) {
  std::uint32_t sum = 0;
  for (std::uint32_t i = 0; i < trackCount; ++i) {
    sum += static_cast<std::uint32_t>(
        digitSum(static_cast<std::int32_t>(drive.getTrackStart(i) / kFramesPerSecond)));
  }
  const std::uint32_t last = trackCount - 1;
  const std::uint32_t first = drive.getTrackStart(0) / kFramesPerSecond;
  const std::uint32_t end =
      (drive.getTrackStart(last) + drive.getTrackLength(last)) / kFramesPerSecond;
  const std::uint32_t total = end - first;
  const std::uint32_t discId = (sum % 255) << 24 | total << 8 | trackCount;

  NumberText text(trackCount + 3);
  text.addHexadecimal(discId);
  text.addCharacter(' ');
  text.addNumber(static_cast<int>(trackCount));
  for (std::uint32_t i = 0; i < trackCount; ++i) {
    text.addCharacter(' ');
    text.addNumber(static_cast<long>(drive.getTrackStart(i)));
  }
  text.addCharacter(' ');
  text.addNumber(static_cast<long>(end));
  return std::move(text).take();
}

JNIEXPORT jstring JNICALL Java_cd_Tocmate_getCDDBNumbers(JNIEnv* env, jclass) {
  return readDiscAsText(env, discIdentificationText);
}
