// The READ TOC reply parser over fuzzed replies (the first byte chooses the address form):
// no crash, no read past what the drive sent, and every table it accepts is one the
// "cdaudio" device can answer for, with a CONTROL nibble per track.
#include <cstdlib>
#include <vector>

#include "MmcToc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const TocAddressForm form = (data[0] & 1) != 0 ? TocAddressForm::kMsf : TocAddressForm::kLba;
  // A copy of exactly the bytes sent, so that the sanitizer sees any read past them.
  const std::vector<std::uint8_t> reply(data + 1, data + size);
  const auto parsed = parseReadTocReply(reply.data(), reply.size(), form);
  const auto* toc = std::get_if<TableOfContents>(&parsed);
  if (toc == nullptr) {
    if (std::get<std::string>(parsed).empty()) std::abort();
    return 0;
  }
  if (findProblem(*toc) || toc->controls.size() != toc->trackCount()) std::abort();
  for (const std::uint8_t control : toc->controls) {
    if (control > 0x0f) std::abort();
  }
  return 0;
}
