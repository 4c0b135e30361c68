// The "cdaudio" command interpreter over fuzzed command strings and reply buffers of any
// size: no crash, and every reply ends inside its buffer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CdAudioDevice.h"

namespace {

DiscOpening twentyTwoTracks() {
  TableOfContents toc{1, 22, 303602, {}, std::vector<std::uint8_t>(22, 0)};
  for (std::uint32_t track = 0; track < 22; ++track) toc.starts.push_back(150 + track * 13000);
  return OpenDisc{std::move(toc), {}, {}, {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  CdAudioDevice device(twentyTwoTracks);
  while (input.remaining_bytes() > 0) {
    const unsigned length = input.ConsumeIntegralInRange<unsigned>(0, 64);
    const std::string command = input.ConsumeRandomLengthString(256);
    // One guard byte past the buffer must stay as it was.
    std::vector<char> reply(length + 1, '\x7f');
    device.execute(command, length > 0 ? reply.data() : nullptr, length);
    if (reply[length] != '\x7f') std::abort();
    if (length > 0 && std::memchr(reply.data(), '\0', length) == nullptr) std::abort();
  }
  return 0;
}
