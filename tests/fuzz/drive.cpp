// The drive and both native methods over an MCI whose every reply, error code and error
// text comes from the fuzzer. Each command gets either a reply of the form the device gives,
// with fuzzed numbers (so that whole discs of up to 120 tracks are read), or raw bytes up to
// the whole buffer, with or without a terminator inside it, and any error code; error texts
// run past their buffer too. The drive must keep its table's invariant, its report must be
// printable lines, and the texts must be the failure text or well formed.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../unit/JniCall.h"
#include "MCICDDrive.h"

namespace {

FuzzedDataProvider* input = nullptr;

// Copies up to `length` bytes of a fuzzed text; a terminator follows only where it fits
// and the fuzzer wants one.
void fill(char* buffer, unsigned length, std::size_t most) {
  const std::string text = input->ConsumeRandomLengthString(most);
  const std::size_t copied = std::min<std::size_t>(text.size(), length);
  std::memcpy(buffer, text.data(), copied);
  if (copied < length && input->ConsumeBool()) buffer[copied] = '\0';
}

int isUpperHexDigit(int c) { return std::isdigit(c) || (c >= 'A' && c <= 'F'); }

bool isNumber(const std::string& word, int (*isDigit)(int)) {
  return !word.empty() && std::all_of(word.begin(), word.end(), [isDigit](char c) {
    return isDigit(static_cast<unsigned char>(c)) != 0;
  });
}

// "XXXXXXXX n s1 ... sn end" or "n l1 ... ln": numbers and single spaces, nothing else.
void checkText(const std::string& text, bool identification) {
  if (text == " ") return;
  std::vector<std::string> words;
  for (std::size_t start = 0;;) {
    const std::size_t space = text.find(' ', start);
    words.push_back(text.substr(start, space - start));
    if (space == std::string::npos) break;
    start = space + 1;
  }
  const std::size_t countAt = identification ? 1 : 0;
  const std::size_t numbersBesideTracks = identification ? 3 : 1;
  bool good = words.size() > numbersBesideTracks && (!identification || words[0].size() == 8);
  for (std::size_t i = 0; good && i < words.size(); ++i) {
    good = isNumber(words[i], identification && i == 0 ? isUpperHexDigit : isdigit);
  }
  if (good) {
    good = std::strtoul(words[countAt].c_str(), nullptr, 10) == words.size() - numbersBesideTracks;
  }
  if (!good) {
    std::fprintf(stderr, "malformed text: [%s]\n", text.c_str());
    std::abort();
  }
}

}  // namespace

// A reply in the device's form for the command, with fuzzed numbers.
void replyAsTheDevice(const char* command, char* reply, unsigned length) {
  if (std::strstr(command, "number of tracks") != nullptr) {
    std::snprintf(reply, length, "%d", input->ConsumeIntegralInRange(0, 120));
  } else if (std::strstr(command, " track ") != nullptr) {
    const int minutes = input->ConsumeIntegralInRange(0, 99);
    const int seconds = input->ConsumeIntegralInRange(0, 99);
    std::snprintf(reply, length, "%02d:%02d:%02d", minutes, seconds,
                  input->ConsumeIntegralInRange(0, 99));
  } else {
    std::snprintf(reply, length, "%s", "");
  }
}

extern "C" MCIERROR mciSendStringA(const char* command, char* reply, unsigned length, HWND) {
  if (std::strlen(command) >= 1024) std::abort();  // commands are formatted into 1024 bytes
  if (input->ConsumeBool()) {
    replyAsTheDevice(command, reply, length);
    return 0;
  }
  fill(reply, length, 2 * length);
  return input->ConsumeIntegral<MCIERROR>();
}

extern "C" BOOL mciGetErrorStringA(MCIERROR, char* text, unsigned length) {
  fill(text, length, 2 * length);
  return input->ConsumeBool();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  input = &provider;
  const int method = provider.ConsumeIntegralInRange(0, 2);
  if (method == 0) {
    Diagnostics diagnostics;
    {
      MCICDDrive drive("cdaudio", diagnostics);
      // Every index below the count must hold a record: the sanitizers watch these reads.
      volatile std::uint64_t sink = 0;
      for (std::uint32_t i = 0; i < drive.getTrackCount(); ++i) {
        sink = sink + drive.getTrackStart(i) + drive.getTrackLength(i) +
               static_cast<std::uint32_t>(drive.getTrackSeconds(i));
      }
    }
    for (const char c : diagnostics.text()) {
      if (c != '\n' && (c < 0x20 || c > 0x7e)) {
        std::fprintf(stderr, "unprintable report byte %#x\n", static_cast<unsigned char>(c));
        std::abort();
      }
    }
    return 0;
  }
  const bool identification = method == 1;
  checkText(
      callNative(identification ? Java_cd_Tocmate_getCDDBNumbers : Java_cd_Tocmate_getTrackLengths),
      identification);
  return 0;
}
