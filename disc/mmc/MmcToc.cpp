#include "MmcToc.h"

#include <algorithm>

namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kDescriptorSize = 8;

std::string tableIsWrong(const std::string& what) {
  return "the drive's table of contents is wrong: " + what;
}

// An address field's absolute frame: a signed big-endian block address, or 0, M, S, F.
std::optional<std::uint32_t> absoluteFrame(const std::uint8_t* address, TocAddressForm form) {
  if (form == TocAddressForm::kMsf) return frameOfMsf(address[1], address[2], address[3]);
  const auto block =
      static_cast<std::int32_t>(std::uint32_t{address[0]} << 24 | std::uint32_t{address[1]} << 16 |
                                std::uint32_t{address[2]} << 8 | address[3]);
  const std::int64_t frame = std::int64_t{block} + kLeadInFrames;
  if (frame < 0) return std::nullopt;
  return static_cast<std::uint32_t>(frame);
}

}  // namespace

std::array<std::uint8_t, 10> readTocCommand(TocAddressForm form) {
  const std::uint8_t msfBit = form == TocAddressForm::kMsf ? 0x02 : 0x00;
  return {0x43, msfBit, 0, 0, 0, 0, 0, kReadTocReplySize >> 8, kReadTocReplySize & 0xff, 0};
}

std::variant<TableOfContents, std::string> parseReadTocReply(const std::uint8_t* reply,
                                                             std::size_t size,
                                                             TocAddressForm form) {
  using std::to_string;
  if (size < kHeaderSize) {
    return tableIsWrong("the reply holds " + to_string(size) + " bytes, less than its header");
  }
  TableOfContents toc;
  toc.firstTrack = reply[2];
  toc.lastTrack = reply[3];
  if (auto problem = trackRangeProblem(toc.firstTrack, toc.lastTrack)) return std::move(*problem);

  const std::size_t length = std::min(size, 2 + (std::size_t{reply[0]} << 8 | reply[1]));
  const std::size_t held = length > kHeaderSize ? (length - kHeaderSize) / kDescriptorSize : 0;
  const std::size_t needed = toc.trackCount() + 1;
  if (held < needed) {
    return tableIsWrong("tracks " + to_string(toc.firstTrack) + " to " + to_string(toc.lastTrack) +
                        " and the lead-out need " + to_string(needed) +
                        " descriptors, the reply holds " + to_string(held));
  }
  toc.starts.reserve(needed - 1);
  toc.controls.reserve(needed - 1);
  for (std::size_t i = 0; i < needed; ++i) {
    const std::uint8_t* descriptor = reply + kHeaderSize + i * kDescriptorSize;
    const bool leadOut = i + 1 == needed;
    const unsigned track = leadOut ? kLeadOutTrack : toc.firstTrack + static_cast<unsigned>(i);
    if (descriptor[2] != track) {
      return tableIsWrong("descriptor " + to_string(i + 1) + " is for track " +
                          to_string(descriptor[2]) + ", not " + trackName(track));
    }
    const std::optional<std::uint32_t> frame = absoluteFrame(descriptor + 4, form);
    if (!frame) return addressProblem(track);
    if (leadOut) {
      toc.leadOut = *frame;
    } else {
      toc.starts.push_back(*frame);
      toc.controls.push_back(descriptor[1] & 0x0f);
    }
  }
  if (auto problem = tableProblem(toc)) return std::move(*problem);
  return toc;
}

std::optional<std::uint32_t> frameOfMsf(std::uint32_t minutes, std::uint32_t seconds,
                                        std::uint32_t frames) {
  if (seconds >= kSecondsPerMinute || frames >= kFramesPerSecond) return std::nullopt;
  return framesOf({minutes, seconds, frames});
}

std::string trackName(unsigned track) {
  return track == kLeadOutTrack ? "the lead-out" : "track " + std::to_string(track);
}

std::optional<std::string> trackRangeProblem(unsigned firstTrack, unsigned lastTrack) {
  if (firstTrack >= 1 && lastTrack >= firstTrack && lastTrack <= kMaxTrack) return std::nullopt;
  return "the drive reports tracks " + std::to_string(firstTrack) + " to " +
         std::to_string(lastTrack);
}

std::string addressProblem(unsigned track) {
  return "the drive gives " + trackName(track) + " an address that is not one";
}

std::optional<std::string> tableProblem(const TableOfContents& toc) {
  if (const auto problem = findProblem(toc)) return tableIsWrong(problem->what);
  return std::nullopt;
}
