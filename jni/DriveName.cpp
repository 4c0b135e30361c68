#include "DriveName.h"

#include <climits>
#include <cstdint>
#include <cwchar>
#include <limits>

namespace {

// A Java string's UTF-16 code units, exactly, held for the scope.
class JavaUtf16 {
 public:
  JavaUtf16(JNIEnv* env, jstring text)
      : env(env),
        text(text),
        length(env->GetStringLength(text)),
        units(env->GetStringChars(text, nullptr)) {}
  ~JavaUtf16() {
    if (units != nullptr) env->ReleaseStringChars(text, units);
  }
  JavaUtf16(const JavaUtf16&) = delete;
  JavaUtf16& operator=(const JavaUtf16&) = delete;

  // Null when the JVM ran out of memory; its OutOfMemoryError is then pending.
  const jchar* get() const { return units; }
  jsize size() const { return length; }

 private:
  JNIEnv* env;
  jstring text;
  jsize length;
  const jchar* units;
};

constexpr char32_t kReplacement = 0xfffd;

bool isHighSurrogate(jchar unit) { return unit >= 0xd800 && unit <= 0xdbff; }
bool isLowSurrogate(jchar unit) { return unit >= 0xdc00 && unit <= 0xdfff; }

void appendUtf8(std::string& text, char32_t c) {
  if (c < 0x80) {
    text += static_cast<char>(c);
    return;
  }
  const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0, 0xc0, 0xe0, 0xf0};
  text += static_cast<char>(kLead[extra] | c >> (6 * extra));
  for (int shift = 6 * (extra - 1); shift >= 0; shift -= 6) {
    text += static_cast<char>(0x80 | (c >> shift & 0x3f));
  }
}

DiscFailure unnameable(const std::string& shown, const char* why) {
  return {FailureReason::kNoDrive, shown, shown + ": " + why};
}

}  // namespace

std::optional<DriveName> driveNameOf(JNIEnv* env, jstring name) {
  const JavaUtf16 units(env, name);
  if (units.get() == nullptr) return std::nullopt;

  std::string bytes;
  std::string shown;  // the name in UTF-8, to report it by
  bool hasNul = false;
  bool encodable = true;
  std::mbstate_t state{};
  for (jsize i = 0; i < units.size(); ++i) {
    char32_t c = units.get()[i];
    if (isHighSurrogate(units.get()[i]) && i + 1 < units.size() &&
        isLowSurrogate(units.get()[i + 1])) {
      c = 0x10000 + ((c - 0xd800) << 10) + (units.get()[++i] - 0xdc00);
    } else if (isHighSurrogate(units.get()[i]) || isLowSurrogate(units.get()[i])) {
      encodable = false;
      c = kReplacement;
    }
    appendUtf8(shown, c);
    hasNul = hasNul || c == 0;
    if (!encodable) continue;
    // (A wchar_t of 16 bits, as on Windows, holds no character beyond the first plane.)
    if (c > static_cast<char32_t>(std::numeric_limits<wchar_t>::max())) {
      encodable = false;
      continue;
    }
    char form[MB_LEN_MAX];
    const std::size_t size = std::wcrtomb(form, static_cast<wchar_t>(c), &state);
    if (size == static_cast<std::size_t>(-1)) {
      encodable = false;
    } else {
      bytes.append(form, size);
    }
  }
  if (hasNul) return unnameable(shown, "no file name can hold a NUL character");
  if (!encodable) {
    return unnameable(shown, "the system's encoding of file names can not write this name");
  }
  return bytes;
}
