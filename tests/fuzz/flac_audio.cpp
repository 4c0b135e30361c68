// The FLAC reader over fuzzed files: no crash, every refusal worded, and a file it opens
// either read at its start, middle and end or refused there with words, each read giving
// exactly the bytes asked for.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FlacAudio.h"

namespace {

// The file the reader opens, written again for each input and removed at the end.
class InputFile {
 public:
  InputFile() {
    char name[] = "/tmp/fuzz-flac-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    path = name;
  }
  ~InputFile() { std::remove(path.c_str()); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& of(const std::uint8_t* data, std::size_t size) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path;
  }

 private:
  std::string path;
};

void worded(const FlacProblem& problem) {
  if (flacProblemText(problem).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const InputFile input;
  auto opened = ImageFile::open(input.of(data, size));
  if (!std::holds_alternative<ImageFile>(opened)) std::abort();
  ImageFile& file = std::get<ImageFile>(opened);
  auto audio = FlacAudio::open(file);
  if (const auto* problem = std::get_if<FlacProblem>(&audio)) {
    worded(*problem);
    return 0;
  }
  FlacAudio& flac = *std::get<std::unique_ptr<FlacAudio>>(audio);
  const std::uint64_t bytes = flac.bytes();
  if (bytes == 0 || bytes % 4 != 0) std::abort();
  constexpr std::size_t kRead = 4 * 588;
  std::vector<std::uint8_t> out(kRead + 1, 0xA5);
  for (const std::uint64_t at : {std::uint64_t{0}, bytes / 8 * 4, bytes - 4}) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kRead, bytes - at));
    if (const auto problem = flac.read(file, at, count, out.data())) {
      worded(*problem);
    } else if (out[kRead] != 0xA5) {
      std::abort();
    }
  }
  return 0;
}
